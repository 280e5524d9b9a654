#include "FR0020DF.h"
#include "ui_FR0020DF.h"

#include "ClsCL0010GF.h"
#include "DefaultsProfile.h"
#include "FormKeys.h"
#include "FormLook.h"
#include "KestrumError.h"

#include <QKeyEvent>

TFrmFR0020DF *FrmFR0020DF = nullptr;

TFrmFR0020DF::TFrmFR0020DF(QWidget *parent)
    : QDialog(parent, FormLook::dialogFlags)
    , ui(std::make_unique<Ui::TFrmFR0020DF>())
{
    ui->setupUi(this);
    setFixedSize(size());
    FormLook::setFont(this, 13);
    for (QLabel *label : findChildren<QLabel *>())
        FormLook::setFont(label, 15);
    FormLook::fitLabels(this);
    FormLook::nameButtons(this);

    connect(ui->BtnOK, &QPushButton::clicked, this, &TFrmFR0020DF::BtnOKClick);
    connect(ui->BtnCancel, &QPushButton::clicked, this, &TFrmFR0020DF::BtnCancelClick);
    FormCreate();
}

TFrmFR0020DF::~TFrmFR0020DF() = default;

void TFrmFR0020DF::FormCreate()
{
    // Key preview, as in the main window; see FormKeyPress.
    for (QWidget *child : findChildren<QWidget *>())
        child->installEventFilter(this);
    const DefaultsProfile::Defaults defaults = DefaultsProfile::ReadDefaults();
    ui->EdtCompanyName->setText(defaults.company);
    ui->EdtLegalCopyright->setText(defaults.rights);
}

void TFrmFR0020DF::BtnOKClick()
{
    try {
        const bool stored = DefaultsProfile::WriteDefaults(
            { ui->EdtCompanyName->text(), ui->EdtLegalCopyright->text() },
            ui->LblCompanyName->text(), ui->LblLegalCopyright->text());
        if (!stored) {
            ClsCL0010GF.ShowInformation(QStringLiteral("保存に失敗しました。"));
            return;
        }
        ClsCL0010GF.ShowInformation(QStringLiteral("保存しました。"));
        QCoreApplication::processEvents();
    } catch (const KestrumError &error) {
        ClsCL0010GF.ShowInformation(error.message());
    }
}

void TFrmFR0020DF::BtnCancelClick()
{
    reject();
}

bool TFrmFR0020DF::eventFilter(QObject *watched, QEvent *event)
{
    return FormKeyPress(watched, event) || QDialog::eventFilter(watched, event);
}

// A plain Enter presses the focused button, or OK from anywhere else; the
// focus stays where it is. Shift+Enter moves the focus to the next control.
bool TFrmFR0020DF::FormKeyPress(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !FormKeys::isInside(watched, this))
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (FormKeys::isEnter(key)) {
        auto *focused = qobject_cast<QPushButton *>(focusWidget());
        (focused ? focused : ui->BtnOK)->click();
        return true;
    }
    if (FormKeys::isEnter(key, Qt::ShiftModifier)) {
        focusNextChild();
        return true;
    }
    return false;
}

void TFrmFR0020DF::keyPressEvent(QKeyEvent *event)
{
    // Neither button is the cancel button, so Esc closes nothing.
    if (event->key() != Qt::Key_Escape)
        QDialog::keyPressEvent(event);
}
