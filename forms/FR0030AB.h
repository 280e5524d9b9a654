#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TFrmFR0030AB;
}

// The about box: icon, title, version and a line on what the program does.
// OK, Enter or the close box close it; Esc does nothing.
class TFrmFR0030AB : public QDialog
{
    Q_OBJECT

public:
    explicit TFrmFR0030AB(QWidget *parent = nullptr);
    ~TFrmFR0030AB() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    std::unique_ptr<Ui::TFrmFR0030AB> ui;
};

extern TFrmFR0030AB *FrmFR0030AB;
