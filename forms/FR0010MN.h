#pragma once

// Kestrum's windows, and how a Make flows through the program:
//
//   TFrmFR0010MN (this file)  the main window: eight edits, menu, toolbar.
//   TFrmFR0020DF              the defaults dialog (company, copyright).
//   TFrmFR0030AB              the about box.
//
// Make: MnuMakeClick encodes each edit's text to code page 932 (Cp932), checks
// that a version resource can hold it all, fills the template lines built at
// start-up (VersionScript), writes Kestrum.rc
// beside the executable through a temporary file (SafeWrite) and reports the
// outcome with ClsCL0010GF.ShowInformation. Any failure on the way is a
// KestrumError whose message is what the user reads.
//
// Defaults: the two default-backed edits are loaded from Kestrum.ini
// (DefaultsProfile) at start-up and every time the defaults dialog closes.

#include <QByteArrayList>
#include <QMainWindow>

#include <array>
#include <memory>

class QLabel;
class QLineEdit;

namespace Ui {
class TFrmFR0010MN;
}

class TFrmFR0010MN : public QMainWindow
{
    Q_OBJECT

public:
    explicit TFrmFR0010MN(QWidget *parent = nullptr);
    ~TFrmFR0010MN() override;

    // The top-left corner that centres a window of outer size `dialog` over
    // the window whose outer bounds are `owner`, by integer division that
    // truncates toward zero.
    static QPoint CentredOver(const QRect &owner, const QSize &dialog);

public slots:
    void MnuMakeClick();
    void MnuExitClick();
    void MnuDefaultClick();
    void MnuAboutClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void FormCreate();
    bool FormKeyPress(QObject *watched, QEvent *event);
    void LoadDefaults();
    template<typename Dialog> void ShowModal(Dialog *&instance);
    void ShowCentred(QDialog *dialog);

    std::unique_ptr<Ui::TFrmFR0010MN> ui;
    QByteArrayList m_templateLines;
    std::array<QLineEdit *, 8> m_valueEdits {};
    std::array<QLabel *, 8> m_valueLabels {};
};

extern TFrmFR0010MN *FrmFR0010MN;
