#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TFrmFR0020DF;
}

// The defaults dialog: shows the stored default company name and legal
// copyright and stores them on OK. OK never closes it; Cancel and the close
// box do, and Esc does nothing.
class TFrmFR0020DF : public QDialog
{
    Q_OBJECT

public:
    explicit TFrmFR0020DF(QWidget *parent = nullptr);
    ~TFrmFR0020DF() override;

public slots:
    void BtnOKClick();
    void BtnCancelClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void FormCreate();
    bool FormKeyPress(QObject *watched, QEvent *event);

    std::unique_ptr<Ui::TFrmFR0020DF> ui;
};

extern TFrmFR0020DF *FrmFR0020DF;
