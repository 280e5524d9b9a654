#include "FR0030AB.h"
#include "ui_FR0030AB.h"

#include "FormLook.h"
#include "Pictures.h"
#include "ProgramVersion.h"

#include <QKeyEvent>

TFrmFR0030AB *FrmFR0030AB = nullptr;

TFrmFR0030AB::TFrmFR0030AB(QWidget *parent)
    : QDialog(parent, FormLook::dialogFlags)
    , ui(std::make_unique<Ui::TFrmFR0030AB>())
{
    ui->setupUi(this);
    setFixedSize(size());
    ui->ProgramIcon->setPicture(Pictures::programIcon());
    ui->ImgTitle->setPicture(Pictures::picture(QLatin1String("title")));
    // The version and the copyright are the build's, as in Kestrum.exe's
    // own version resource.
    ui->Version->setText(QStringLiteral("Version " KESTRUM_VERSION));
    ui->Copyright->setText(QStringLiteral(KESTRUM_COPYRIGHT));
    FormLook::nameButtons(this);
    FormLook::setFont(this, 16);
    FormLook::setBackground(ui->Panel1, FormLook::silver);
    FormLook::setFont(ui->Version, 13);
    FormLook::setTextColour(ui->Version, FormLook::blue);
    FormLook::setFont(ui->Copyright, 16);
    FormLook::setTextColour(ui->Copyright, FormLook::navy);
    FormLook::setFont(ui->Comments, 13);
    FormLook::setTextColour(ui->Comments, FormLook::navy);
    // The OK button, the one control that takes the focus, starts with it.
}

TFrmFR0030AB::~TFrmFR0030AB() = default;

void TFrmFR0030AB::keyPressEvent(QKeyEvent *event)
{
    // No button is the cancel button, so Esc closes nothing.
    if (event->key() != Qt::Key_Escape)
        QDialog::keyPressEvent(event);
}
