// vesperon: the desktop program.
#include "shell/CVesSoundApp.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    CVesSoundApp app(argc, argv);
    if (!app.startUp(QCoreApplication::arguments()))
        return 1;
    return app.exec();
}
