#include "shell/CAboutDlg.h"

#include "shell/CVesSoundApp.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QIcon>
#include <QLabel>
#include <QSysInfo>
#include <QVBoxLayout>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/statvfs.h>

#ifndef VES_VERSION
#define VES_VERSION "0"
#endif

std::string CAboutDlg::sizeText(std::int64_t bytes)
{
    char buf[64];
    const double b = static_cast<double>(bytes);
    if (b >= 1024.0 * 1024 * 1024)
        std::snprintf(buf, sizeof buf, "%.1f GB", b / (1024.0 * 1024 * 1024));
    else if (b >= 1024.0 * 1024)
        std::snprintf(buf, sizeof buf, "%.0f MB", b / (1024.0 * 1024));
    else
        std::snprintf(buf, sizeof buf, "%.0f kB", b / 1024.0);
    return buf;
}

std::string CAboutDlg::memoryLine()
{
    std::ifstream in("/proc/meminfo");
    std::string line;
    std::int64_t totalKb = -1, availableKb = -1;
    while (std::getline(in, line)) {
        std::istringstream s(line);
        std::string key;
        std::int64_t value = 0;
        s >> key >> value;
        if (key == "MemTotal:")
            totalKb = value;
        else if (key == "MemAvailable:")
            availableKb = value;
    }
    if (totalKb < 0 || availableKb < 0)
        return {};
    return "Physical memory: Total: " + sizeText(totalKb * 1024) + " Available: " + sizeText(availableKb * 1024);
}

std::string CAboutDlg::diskLine(const std::string& folder)
{
    struct statvfs s {};
    if (::statvfs(folder.c_str(), &s) != 0)
        return {};
    const auto free = static_cast<std::int64_t>(s.f_bavail) * static_cast<std::int64_t>(s.f_frsize);
    return "Disk space " + sizeText(free) + " free on " + folder;
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Vesperon"));
    auto* box = new QVBoxLayout(this);
    auto* icon = new QLabel(this);
    icon->setPixmap(CVesSoundApp::appIcon().pixmap(64, 64));
    box->addWidget(icon, 0, Qt::AlignHCenter);
    auto* title = new QLabel(QStringLiteral("<b>Vesperon</b> version %1").arg(QStringLiteral(VES_VERSION)), this);
    box->addWidget(title);
    box->addWidget(new QLabel(QStringLiteral("Records, measures and edits bat echolocation calls."), this));
    box->addWidget(new QLabel(QSysInfo::prettyProductName(), this));
    for (const std::string& line : {memoryLine(), diskLine(QDir::homePath().toStdString())})
        if (!line.empty())
            box->addWidget(new QLabel(QString::fromStdString(line), this));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    box->addWidget(buttons);
}
