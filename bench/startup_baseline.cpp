// The floor: the toolkit showing an empty main window of Kestrum's size,
// ended at its first painted frame.
#include "FirstPaint.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    ExitAfterFirstPaint exitAfterFirstPaint;
    app.installEventFilter(&exitAfterFirstPaint);
    QMainWindow window;
    window.setFixedSize(392, 314 + 21);
    window.show();
    return QApplication::exec();
}
