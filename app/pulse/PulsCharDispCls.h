// A result window of the pulse characteristics analysis ("Pulse
// characteristics"): one row per measured pulse, one column per value the
// run's settings enable, a first row of long headings; "Copy " puts the table
// on the clipboard as text, "Clear Marks" removes the marks the run placed.
// The dialog that started the run feeds it on the user-interface thread.
#pragma once

#include "pulse/PulseAnalysis.h"
#include "records/VesSettings.h"

#include <QDialog>

#include <vector>

class CVesSoundDoc;
class QLabel;
class QPushButton;
class QTableWidget;

class PulsCharDispCls : public QDialog {
    Q_OBJECT
public:
    PulsCharDispCls(CVesSoundDoc& doc, const VesPulsParms& parms, QWidget* parent = nullptr);

    void addRow(const PulseResult& result);
    void setStatus(const std::string& text);
    const std::vector<PulseResult>& results() const { return m_results; }
    QTableWidget* table() const { return m_table; }
    std::string tableText() const;
    void copyTable();
    // Removes every mark the rows placed; returns how many went.
    int clearMarks();
    bool hasMarks() const;

signals:
    // The marks of the document changed (the views redraw them).
    void marksChanged();

private:
    CVesSoundDoc& m_doc;
    VesPulsParms m_parms;
    std::vector<PulseResult> m_results;
    std::vector<int> m_markIds;
    QTableWidget* m_table = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_clearMarks = nullptr;
};
