// One piece of work on a thread of its own: the way every calculation of the
// program runs (power spectra, pulse histograms, pulse characteristics).
//
// The work polls stopRequested() (or the flag itself, for loops that take an
// atomic) and may report its progress in thousandths. When it returns,
// `finished` runs on the worker thread with whether a stop had been asked for;
// an owner that lives on another thread posts from there to itself (a window
// through a queued invocation), tagging what it posts with the run it
// started so that a late message of a replaced run is recognised and dropped.
//
// stop() asks for the stop and waits for the thread; the destructor does the
// same, so a job never outlives the object that owns it, and an owner joins
// its job before the data the work reads change (before an edit) or go.
// requestStop() only asks, and may be called from the work itself.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace vkit {

class BackgroundJob {
public:
    // What the work sees of its job.
    class Control {
    public:
        bool stopRequested() const { return m_stop.load(std::memory_order_relaxed); }
        const std::atomic<bool>& stopFlag() const { return m_stop; }
        void setProgress(int permille) { m_permille.store(permille, std::memory_order_relaxed); }
        // The same, for loops that write an atomic of their own.
        std::atomic<int>* progressCounter() { return &m_permille; }

    private:
        friend class BackgroundJob;
        std::atomic<bool> m_stop{false};
        std::atomic<int> m_permille{0};
        std::atomic<bool> m_finished{false};
    };
    using Work = std::function<void(Control& control)>;
    using Finished = std::function<void(bool stopped)>;

    BackgroundJob() = default;
    ~BackgroundJob();
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;

    // Runs `work` on a new thread. False when a run has not been joined yet,
    // or when the system could not make a thread (nothing runs then).
    bool start(Work work, Finished finished = {});
    // Asks the work to stop and waits for the thread. Nothing when idle.
    void stop();
    // Asks the work to stop (any thread, the work's own included).
    void requestStop();
    // Waits for the thread without asking it to stop.
    void join();
    // Started and not joined yet (it may have returned already).
    bool active() const { return m_thread.joinable(); }
    bool stopRequested() const { return m_control && m_control->stopRequested(); }
    // The work and `finished` have returned.
    bool finished() const { return m_control && m_control->m_finished.load(std::memory_order_acquire); }
    // The work's progress, 0 .. 1000 (any thread).
    int progressPermille() const { return m_control ? m_control->m_permille.load(std::memory_order_relaxed) : 0; }

private:
    std::shared_ptr<Control> m_control;
    std::thread m_thread;
};

}  // namespace vkit
