// "Mark distances": one row and one column per mark; "Copy " puts the table
// on the system clipboard as tab-separated text.
#pragma once

#include <QDialog>

#include <string>
#include <vector>

class QTableWidget;

class CMarkDistDlg : public QDialog {
    Q_OBJECT
public:
    // `table` as markDistanceTable gives it (labels in row and column 0).
    CMarkDistDlg(std::vector<std::vector<std::string>> table, QWidget* parent = nullptr);
    QTableWidget* list() const { return m_list; }
    // The "Copy " button.
    void copyToClipboard();

private:
    std::vector<std::vector<std::string>> m_table;
    QTableWidget* m_list;
};
