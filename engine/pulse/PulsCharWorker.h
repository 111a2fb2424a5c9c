// The worker of one pulse characteristics run ("Calculate"): it runs
// analysePulses on its own thread and delivers status texts, rows (with the
// marks they ask for) and progress to a sink, which the result window
// implements by posting to the user-interface thread. A stop (stop(),
// requestStop(), or destroying the worker) ends the scan at the next piece of
// samples; rows are not delivered after that. `done` runs on the worker
// thread at the end of every run, stopped or not (the dialog accepts
// "Calculate" again).
//
// The document must outlive the worker and must not be edited while it runs.
#pragma once

#include "core/BackgroundJob.h"
#include "pulse/PulseAnalysis.h"

#include <atomic>
#include <functional>

class PulsCharWorker {
public:
    PulsCharWorker(CVesSoundDoc& doc, const PulseRequest& request, IPulseSink& sink,
                   std::function<void(PulsCharWorker&)> done = {});

    // False when the system could not make the thread.
    bool start();
    // Stops the scan and waits for the thread.
    void stop() { m_job.stop(); }
    // Asks the scan to stop without waiting (from the sink, on the worker thread).
    void requestStop() { m_job.requestStop(); }
    bool finished() const { return m_job.finished(); }
    // True once the run was stopped before its end.
    bool aborted() const { return m_aborted.load(); }
    // True once the run got to the end of the stretch.
    bool completed() const { return m_completed.load(); }

private:
    CVesSoundDoc& m_doc;
    PulseRequest m_request;
    IPulseSink& m_sink;
    std::function<void(PulsCharWorker&)> m_done;
    std::atomic<bool> m_aborted{false};
    std::atomic<bool> m_completed{false};
    vkit::BackgroundJob m_job;  // last: joined before the members it uses go
};
