#include "render/HeadlessGui.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace {

// Qt's notes about the session (no runtime folder, no display services) mean
// nothing to a program that only draws; its critical messages still show.
void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

}  // namespace

std::unique_ptr<QGuiApplication> makeHeadlessGuiApplication()
{
    if (QCoreApplication::instance() != nullptr)
        return nullptr;
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform == nullptr || *platform == '\0')
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qInstallMessageHandler(quietMessages);
    // QGuiApplication keeps references to argc and argv for its lifetime.
    static int argc = 1;
    static char name[] = "vesperon";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}
