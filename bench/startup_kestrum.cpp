// Kestrum's own start-up, ended at its first painted frame.
#include "FirstPaint.h"
#include "Startup.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    ExitAfterFirstPaint exitAfterFirstPaint;
    app.installEventFilter(&exitAfterFirstPaint);
    return runKestrum();
}
