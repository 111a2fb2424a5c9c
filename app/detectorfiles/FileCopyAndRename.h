// The "Copy And Rename" dialog: the destination folder (typed or chosen
// through "Browse"), whether the date and time of each recording's header
// go before its name, and a prefix and a suffix for every name. OK copies
// the recordings one by one, never replacing a file, and tells how many
// were copied.
#pragma once

#include "detectorfiles/DetectorFileCopy.h"

#include <QDialog>

#include <string>
#include <vector>

class QCheckBox;
class QLineEdit;
class QPushButton;

class FileCopyAndRename : public QDialog {
    Q_OBJECT
public:
    FileCopyAndRename(std::vector<std::string> paths, std::string sourceFolder, QWidget* parent = nullptr);

    QLineEdit* destination() const { return m_destination; }
    QCheckBox* addDate() const { return m_addDate; }
    QLineEdit* prefix() const { return m_prefix; }
    QLineEdit* suffix() const { return m_suffix; }
    QPushButton* browseButton() const { return m_browse; }
    // The outcome of the last OK (nothing copied before).
    const DetectorFileCopy::Result& result() const { return m_result; }

    // The destination the field starts with: the remembered destination, else
    // the source folder; one of 3 characters or fewer gives the documents folder.
    static std::string initialDestination(const std::string& remembered, const std::string& sourceFolder);

    void browse();
    void accept() override;

private:
    std::vector<std::string> m_paths;
    std::string m_source;
    QLineEdit* m_destination = nullptr;
    QPushButton* m_browse = nullptr;
    QCheckBox* m_addDate = nullptr;
    QLineEdit* m_prefix = nullptr;
    QLineEdit* m_suffix = nullptr;
    DetectorFileCopy::Result m_result;
};
