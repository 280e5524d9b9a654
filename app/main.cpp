#include "DllSearch.h"
#include "Startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    if (!restrictDllSearch())
        return 1;
    QApplication app(argc, argv);
    return runKestrum();
}
