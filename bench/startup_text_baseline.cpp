// A second floor: the empty main window with one line of Japanese text in
// the same font, which is what any window with text pays to the font system.
// It ends at its first painted frame; with --stay it stays open and is titled
// like Kestrum, for timing from outside (window_startup.sh), which is how the
// Windows build, built with the same static Qt, is measured under Wine.
#include "FirstPaint.h"

#include <QFontDatabase>
#include <QLabel>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    ExitAfterFirstPaint exitAfterFirstPaint;
    if (!app.arguments().contains(QStringLiteral("--stay")))
        app.installEventFilter(&exitAfterFirstPaint);
    const QStringList installed = QFontDatabase::families();
    QFont font(installed.contains(QStringLiteral("IPAPGothic")) ? QStringLiteral("IPAPGothic")
                                                                : QStringLiteral("MS UI Gothic"));
    font.setPixelSize(13);
    QApplication::setFont(font);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Kestrum"));
    window.setFixedSize(392, 314 + 21);
    window.setCentralWidget(new QLabel(QStringLiteral("会社名"), &window));
    window.show();
    return QApplication::exec();
}
