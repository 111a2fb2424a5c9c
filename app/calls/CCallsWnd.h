// "Calls": the result table of "Find calls" (Analysis menu). One row per call
// with every measurement; choosing a row shows the call in its view as a
// rectangle selection; "Mark calls" places a mark over every call (time and
// frequency range); "Copy" puts the table on the clipboard as tab-separated
// text. After "Identify calls" the species a model gives each call and its
// probability (or "No ID") stand in the first two columns.
#pragma once

#include "pulse/CallMeasures.h"

#include <QWidget>

#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

class CCallsWnd : public QWidget {
    Q_OBJECT
public:
    explicit CCallsWnd(QWidget* parent = nullptr);

    // The calls of a run and the status line ("12 calls in 0.000–2.500 s").
    void setCalls(std::vector<CallMeasures> calls, const QString& status);
    const std::vector<CallMeasures>& calls() const { return m_calls; }
    // The species of each call (one per call, in order) and the
    // probabilities, with a new status line; a new setCalls drops them.
    void setSpecies(std::vector<std::string> species, std::vector<float> probabilities, const QString& status);
    const std::vector<std::string>& species() const { return m_species; }
    const std::vector<float>& probabilities() const { return m_probabilities; }
    QTableWidget* table() const { return m_table; }
    // "Copy": the table as tab-separated text on the clipboard.
    void copyTable();

signals:
    void callChosen(int index);
    void markCallsAsked();

private:
    QTableWidget* m_table = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_mark = nullptr;
    std::vector<CallMeasures> m_calls;
    std::vector<std::string> m_species;
    std::vector<float> m_probabilities;
    void fill();
};

class CVesSoundDoc;
struct CallDetectorSettings;

// Runs the call detector over frames [first, last) of the document on the
// calling (user-interface) thread with a progress dialog that can cancel it.
// False when cancelled.
bool findCallsWithProgress(QWidget* parent, CVesSoundDoc& doc, std::int64_t first, std::int64_t last,
                           const CallDetectorSettings& settings, std::vector<CallMeasures>& calls);
