#include "FR0010MN.h"
#include "FormLook.h"
#include "KestrumError.h"

#include <QApplication>
#include <QMessageBox>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    try {
        QApplication::setApplicationName(QStringLiteral("Kestrum"));
        FormLook::installFontSubstitutes();
        TFrmFR0010MN window;
        FrmFR0010MN = &window;
        window.show();
        QApplication::exec();
    } catch (const KestrumError &error) {
        QMessageBox::critical(nullptr, QStringLiteral("Kestrum"), error.message() + u'.');
    }
    FrmFR0010MN = nullptr;
    return 0;
}
