#include "FR0010MN.h"
#include "ui_FR0010MN.h"

#include "ClsCL0010GF.h"
#include "Cp932.h"
#include "DefaultsProfile.h"
#include "FR0020DF.h"
#include "FR0030AB.h"
#include "FormKeys.h"
#include "FormLook.h"
#include "KestrumError.h"
#include "Pictures.h"
#include "VersionScript.h"

#include <QKeyEvent>
#include <QMenuBar>
#include <QScreen>

TFrmFR0010MN *FrmFR0010MN = nullptr;

TFrmFR0010MN::TFrmFR0010MN(QWidget *parent)
    : QMainWindow(parent,
                  Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                      | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                      | Qt::WindowCloseButtonHint)
    , ui(std::make_unique<Ui::TFrmFR0010MN>())
{
    ui->setupUi(this);
    FormLook::setFont(this, 13);
    for (QLabel *label : findChildren<QLabel *>())
        FormLook::setFont(label, 15);
    FormLook::setBackground(ui->PnlTop, FormLook::silver);
    FormLook::fitLabels(this);
    setWindowIcon(Pictures::programIcon());
    // The pictures come with versions for higher display scales, which a
    // form description cannot hold.
    ui->MnuMake->setIcon(Pictures::picture(QLatin1String("make")));
    ui->MnuExit->setIcon(Pictures::picture(QLatin1String("exit")));
    ui->MnuDefault->setIcon(Pictures::picture(QLatin1String("default")));
    ui->MnuAbout->setIcon(Pictures::picture(QLatin1String("about")));
    ui->ImgTitle->setPicture(Pictures::picture(QLatin1String("title")));

    m_valueEdits = { ui->EdtCompanyName,  ui->EdtFileDescription, ui->EdtFileVersion,
                     ui->EdtInternalName, ui->EdtLegalCopyright,  ui->EdtOriginalFilename,
                     ui->EdtProductName,  ui->EdtProductVersion };
    m_valueLabels = { ui->LblCompanyName,  ui->LblFileDescription, ui->LblFileVersion,
                      ui->LblInternalName, ui->LblLegalCopyright,  ui->LblOriginalFilename,
                      ui->LblProductName,  ui->LblProductVersion };

    // One action per command, shared by its menu item and its toolbar button.
    ui->SpbMake->setDefaultAction(ui->MnuMake);
    ui->SpbExit->setDefaultAction(ui->MnuExit);
    ui->SpbDefault->setDefaultAction(ui->MnuDefault);
    ui->SpbAbout->setDefaultAction(ui->MnuAbout);
    connect(ui->MnuMake, &QAction::triggered, this, &TFrmFR0010MN::MnuMakeClick);
    connect(ui->MnuExit, &QAction::triggered, this, &TFrmFR0010MN::MnuExitClick);
    connect(ui->MnuDefault, &QAction::triggered, this, &TFrmFR0010MN::MnuDefaultClick);
    connect(ui->MnuAbout, &QAction::triggered, this, &TFrmFR0010MN::MnuAboutClick);
    FormLook::nameButtons(this);

    setFixedSize(ui->ClientArea->width(),
                 ui->ClientArea->height() + menuBar()->sizeHint().height());
    FormLook::drawAtLeftEdge(ui->Bevel1);
    FormLook::drawAtLeftEdge(ui->Bevel2);
    if (const QScreen *screen = this->screen()) {
        const QSize free = screen->geometry().size() - FormLook::outerSize(this);
        move(std::max(0, free.width() / 2), std::max(0, free.height() / 2));
    }

    FormCreate();
}

TFrmFR0010MN::~TFrmFR0010MN() = default;

void TFrmFR0010MN::FormCreate()
{
    // Key preview: the window sees every key before the control it is for.
    qApp->installEventFilter(this);
    m_templateLines = VersionScript::buildTemplate();
    LoadDefaults();
}

QPoint TFrmFR0010MN::CentredOver(const QRect &owner, const QSize &dialog)
{
    return { owner.left() + (owner.width() - dialog.width()) / 2,
             owner.top() + (owner.height() - dialog.height()) / 2 };
}

void TFrmFR0010MN::MnuMakeClick()
{
    try {
        VersionScript::Values values;
        VersionScript::FieldNames fieldNames;
        for (std::size_t i = 0; i < values.size(); ++i) {
            fieldNames[i] = m_valueLabels[i]->text();
            values[i] = Cp932::encode(m_valueEdits[i]->text(), fieldNames[i]);
        }
        VersionScript::make(m_templateLines, values, ClsCL0010GF.GetApplicationDirectory(),
                            fieldNames);
        QCoreApplication::processEvents();
        ClsCL0010GF.ShowInformation(QStringLiteral("作成されました。"));
    } catch (const KestrumError &error) {
        ClsCL0010GF.ShowInformation(error.message());
    }
}

void TFrmFR0010MN::MnuExitClick()
{
    close();
}

void TFrmFR0010MN::MnuDefaultClick()
{
    ShowModal(FrmFR0020DF);
    LoadDefaults(); // whichever way the dialog was closed
}

void TFrmFR0010MN::MnuAboutClick()
{
    ShowModal(FrmFR0030AB);
}

// Creates a dialog into its global instance, runs it centred over this window
// and releases it.
template<typename Dialog> void TFrmFR0010MN::ShowModal(Dialog *&instance)
{
    instance = new Dialog(this);
    ShowCentred(instance);
    instance = nullptr;
}

void TFrmFR0010MN::ShowCentred(QDialog *dialog)
{
    // A dialog not yet shown has no frame yet; it gets one like ours, which
    // is known now that this window is on the screen.
    const QSize frame = frameGeometry().size() - size();
    dialog->move(CentredOver(frameGeometry(), dialog->size() + frame));
    dialog->exec();
    dialog->deleteLater();
}

void TFrmFR0010MN::LoadDefaults()
{
    const DefaultsProfile::Defaults defaults = DefaultsProfile::ReadDefaults();
    ui->EdtCompanyName->setText(defaults.company);
    ui->EdtLegalCopyright->setText(defaults.rights);
}

bool TFrmFR0010MN::eventFilter(QObject *watched, QEvent *event)
{
    return FormKeyPress(watched, event) || QMainWindow::eventFilter(watched, event);
}

// Enter moves the focus to the next control in tab order, wrapping from the
// last to the first, and never reaches the control itself.
bool TFrmFR0010MN::FormKeyPress(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !FormKeys::isInside(watched, this))
        return false;
    // The menu bar in keyboard mode (Alt tapped) takes Enter to open the
    // highlighted menu; menus run their own keys.
    if (qobject_cast<QMenuBar *>(watched))
        return false;
    if (!FormKeys::isEnter(static_cast<QKeyEvent *>(event), Qt::ShiftModifier))
        return false;
    focusNextChild();
    return true;
}

void TFrmFR0010MN::changeEvent(QEvent *event)
{
    // Back from the task bar: in front, ready for typing.
    if (event->type() == QEvent::WindowStateChange
        && static_cast<QWindowStateChangeEvent *>(event)->oldState().testFlag(Qt::WindowMinimized)
        && !isMinimized()) {
        raise();
        activateWindow();
    }
    QMainWindow::changeEvent(event);
}
