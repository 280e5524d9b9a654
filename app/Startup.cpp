#include "Startup.h"

#include "FR0010MN.h"
#include "FormLook.h"
#include "KestrumError.h"
#include "ToolkitTexts.h"

#include <QApplication>
#include <QMessageBox>

int runKestrum()
{
    try {
        QApplication::setApplicationName(QStringLiteral("Kestrum"));
        FormLook::useJapaneseFont();
        ToolkitTexts::useJapanese();
        TFrmFR0010MN window;
        FrmFR0010MN = &window;
        window.show();
        QApplication::exec();
        FrmFR0010MN = nullptr;
    } catch (const KestrumError &error) {
        FrmFR0010MN = nullptr;
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Kestrum"), error.message() + u'.');
        box.setTextFormat(Qt::PlainText); // the message may quote a path
        box.exec();
    }
    return 0;
}
