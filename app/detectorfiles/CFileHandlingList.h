// The list dialog "R450Z/R9000Z File Management": every detector recording
// of a folder with its header texts; "Copy && Rename" of the chosen rows,
// "Export" of the list to a text file and "Copy" (also Ctrl+C) of the list to
// the clipboard. The list or copy holds the selected rows, or all when none
// is selected.
#pragma once

#include "detectorfiles/DetectorFileList.h"

#include <QDialog>

#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;

class CFileHandlingList : public QDialog {
    Q_OBJECT
public:
    explicit CFileHandlingList(const std::string& folder, QWidget* parent = nullptr);

    QTreeWidget* list() const { return m_list; }
    const DetectorFileList& files() const { return m_files; }
    // Indices into files().files() of the selected rows, in list order.
    std::vector<int> selectedRows() const;
    // The list text table of the selection (or of every row).
    DetectorFileList::Table textTable() const;

    void copyAndRename();
    void exportList();
    void copyToClipboard();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateButtons();

    DetectorFileList m_files;
    QTreeWidget* m_list = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_copyRename = nullptr;
    QPushButton* m_export = nullptr;
    QPushButton* m_copy = nullptr;
    QPushButton* m_close = nullptr;
};
