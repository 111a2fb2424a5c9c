// "Pulse characteristics analysis": the modeless dialog of a view that finds
// and measures the pulses of a stretch. Each "Calculate" opens a result
// window (PulsCharDispCls) and starts a worker (PulsCharWorker) that fills it
// row by row; the worker's rows, status texts and its end reach the dialog
// as queued calls on the user-interface thread, where the marks the rows ask
// for are placed in the document. Closing or cancelling the dialog stops the
// worker and waits for it before anything goes away.
#pragma once

#include "document/ChannelSelection.h"
#include "pulse/PulsCharWorker.h"
#include "records/VesSettings.h"

#include <QDialog>
#include <QPointer>

#include <cstdint>
#include <memory>
#include <vector>

class CVesSoundDoc;
class PulsCharDispCls;
class QCheckBox;
class QLabel;
class QLineEdit;

class PulsCharDiagCls : public QDialog {
    Q_OBJECT
public:
    PulsCharDiagCls(CVesSoundDoc& doc, const VesPulsParms& parms, QWidget* parent = nullptr);
    ~PulsCharDiagCls() override;

    const VesPulsParms& parms() const { return m_parms; }
    // The stretch [first, last) (last −1: to the end) of `channel`.
    void setRange(std::int64_t first, std::int64_t last, ChannelSel channel);
    // The view's selection changed: taken with continuous update.
    void selectionChanged(std::int64_t first, std::int64_t last, ChannelSel channel);
    // The view's level cursor moved (hundredths of a percent of full scale).
    void levelMoved(std::int64_t level);
    // The level the view's level cursor shows for the oscillogram threshold.
    std::int64_t levelCursorValue() const;
    ChannelSel analysedChannel() const;
    std::int64_t first() const { return m_first; }
    std::int64_t last() const { return m_last; }

    // "Calculate": false when a worker runs or a field fails its check.
    bool calculate();
    bool running() const { return m_worker != nullptr; }
    // Sets the abort flag and waits for the worker to end.
    void stopWorker();
    // The result windows still open.
    std::vector<PulsCharDispCls*> resultWindows() const;

    void reject() override;  // Esc: discard the settings

signals:
    // 1: keep the settings (Close), 2: discard them (Cancel).
    void dialogClosing(int how);
    // "Oscillogram threshold" was edited (m_ampThres holds the new value).
    void thresholdEdited();
    void marksChanged();
    void workerDone();
    // A result window opened (it outlives the dialog when the dialog is closed with Close).
    void resultWindowOpened(PulsCharDispCls* window);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class Sink;
    bool readFields();
    void showFields();
    void closeDialog();
    void finish(int how);
    void onRow(std::uint64_t run, PulseResult result);
    void onStatus(std::uint64_t run, const std::string& text);
    void onWorkerDone(std::uint64_t run);
    void showRange();

    CVesSoundDoc& m_doc;
    VesPulsParms m_parms;
    std::int64_t m_first = 0, m_last = -1;
    std::unique_ptr<Sink> m_sink;
    std::unique_ptr<PulsCharWorker> m_worker;
    QPointer<PulsCharDispCls> m_target;   // the result window of the running run
    std::vector<QPointer<PulsCharDispCls>> m_results;
    std::uint64_t m_run = 0;
    bool m_finished = false;

    QLineEdit* m_ampThres = nullptr;
    QLineEdit* m_ampSeparation = nullptr;
    QLineEdit* m_durTime = nullptr;
    QLineEdit* m_freqThreshold = nullptr;
    QLineEdit* m_freqSeparation = nullptr;
    QLineEdit* m_minFreq = nullptr;
    QLineEdit* m_maxFreq = nullptr;
    std::vector<std::pair<QCheckBox*, bool VesPulsParms::*>> m_checks;
    QLabel* m_fftSize = nullptr;
    QLabel* m_fftOverlap = nullptr;
    QLabel* m_fftWindow = nullptr;
    QLabel* m_start = nullptr;
    QLabel* m_end = nullptr;
};
