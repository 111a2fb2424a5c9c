// The about box: program version, operating system, physical memory and the
// free space of the disk that holds the user's files.
#pragma once

#include <QDialog>

#include <cstdint>
#include <string>

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    // "15.6 GB", "512 MB", "800 kB".
    static std::string sizeText(std::int64_t bytes);
    // "Physical memory: Total: %s Available: %s", from /proc/meminfo; empty when unknown.
    static std::string memoryLine();
    // "Disk space %s free on %s" for the folder; empty when unknown.
    static std::string diskLine(const std::string& folder);
};
