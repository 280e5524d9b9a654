#include "Startup.h"

#include "FR0010MN.h"
#include "FormLook.h"
#include "KestrumError.h"

#include <QApplication>
#include <QMessageBox>

int runKestrum()
{
    try {
        QApplication::setApplicationName(QStringLiteral("Kestrum"));
        FormLook::useJapaneseFont();
        FormLook::useJapaneseTexts();
        TFrmFR0010MN window;
        FrmFR0010MN = &window;
        window.show();
        QApplication::exec();
        FrmFR0010MN = nullptr;
    } catch (const KestrumError &error) {
        FrmFR0010MN = nullptr;
        QMessageBox::critical(nullptr, QStringLiteral("Kestrum"), error.message() + u'.');
    }
    return 0;
}
