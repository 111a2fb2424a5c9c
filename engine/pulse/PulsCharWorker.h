// The worker of one pulse characteristics run ("Calculate"): it runs
// analysePulses on its own thread and delivers status texts, rows (with the
// marks they ask for) and progress to a sink, which the result window
// implements by posting to the user-interface thread. Setting the abort flag
// (stop(), or destroying the worker) ends the scan at the next piece of
// samples; rows are not delivered after that. `done` runs at the end of
// every run, stopped or not (the dialog accepts "Calculate" again).
//
// The document must outlive the worker and must not be edited while it runs.
#pragma once

#include "core/ThreadCls.h"
#include "pulse/PulseAnalysis.h"

#include <atomic>
#include <functional>

class PulsCharWorker : public vkit::ThreadCls {
public:
    PulsCharWorker(CVesSoundDoc& doc, const PulseRequest& request, IPulseSink& sink,
                   std::function<void(PulsCharWorker&)> done = {});
    ~PulsCharWorker() override;

    bool stop() override;
    // True once the run was stopped before its end.
    bool aborted() const { return m_aborted.load(); }
    // True once the run got to the end of the stretch.
    bool completed() const { return m_completed.load(); }

protected:
    int execute() override;

private:
    CVesSoundDoc& m_doc;
    PulseRequest m_request;
    IPulseSink& m_sink;
    std::function<void(PulsCharWorker&)> m_done;
    std::atomic<bool> m_abort{false};
    std::atomic<bool> m_aborted{false};
    std::atomic<bool> m_completed{false};
};
