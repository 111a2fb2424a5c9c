// vesperon: the desktop program.
#include "shell/CVesSoundApp.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>

namespace {

// --version and --help answer without a display, as a packaged program's do
// (installers, shell scripts and `man` users call them on machines without one).
bool answeredWithoutWindow(int argc, char** argv, int& status)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            break;
        if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-V") == 0) {
            std::printf("vesperon %s\n", VES_VERSION);
            status = 0;
            return true;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("Usage: vesperon [QT-OPTIONS] [FILE...]\n"
                        "Record, see, measure, hear, edit and identify ultrasonic animal sounds.\n\n"
                        "Opens each FILE (recordings of every readable type, Anabat zero-crossing files,\n"
                        "season projects .vproj) in a window of its own; without one, the start-up\n"
                        "command of the settings runs.\n\n"
                        "  -V, --version  print the version and exit\n"
                        "  -h, --help     print this help and exit\n\n"
                        "Qt's own options (-platform, -style, ...) are taken as well. vesperon-cli is the\n"
                        "same engine without a window; `man vesperon` and the user guide tell more.\n");
            status = 0;
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    int status = 0;
    if (answeredWithoutWindow(argc, argv, status))
        return status;
    CVesSoundApp app(argc, argv);
    if (!app.startUp(QCoreApplication::arguments()))
        return 1;
    return app.exec();
}
