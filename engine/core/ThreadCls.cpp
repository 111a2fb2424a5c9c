#include "core/ThreadCls.h"

#include "core/LoggCls.h"
#include "core/ThreadStartFaults.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

namespace vkit {

// State shared between the object and its system thread. The thread holds its
// own reference, so a thread that outlives its object (destroyed while it
// ignored the stop) never touches freed memory here.
struct ThreadCls::Control {
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<ThreadMsg> queue;
    std::thread thread;
    bool stopRequested = false;
    bool stopBeforeStart = false;
    bool stopEvent = false;  // auto-reset: taken by one waiter
    bool running = false;
    bool started = false;
    bool launched = false;
    bool finished = false;
    bool abandoned = false;   // the object is gone; the thread must not call it
    bool pastExecute = false; // execute returned; only short bookkeeping is left
    int exitCode = 0;
    std::int32_t tid = 0;
};

ThreadCls::ThreadCls(std::string name) : m_name(std::move(name)), m_ctrl(std::make_shared<Control>()) {}

ThreadCls::~ThreadCls()
{
    auto& c = *m_ctrl;
    bool finished;
    {
        std::lock_guard lk(c.mutex);
        finished = c.finished || !c.launched;
    }
    if (!finished) {
        stop();
        lock();
        unlock();
        if (!waitForEnd(m_destroyWaitMs)) {
            std::unique_lock lk(c.mutex);
            // Let a thread already past execute finish its bookkeeping; a
            // thread still inside execute is left to run on its own.
            if (c.pastExecute) {
                c.cv.wait(lk, [&] { return c.finished; });
            } else {
                c.abandoned = true;
                lk.unlock();
                logInfo(":Destroy: thread did not end in time; left running.");
            }
        }
    }
    if (c.thread.joinable()) {
        std::unique_lock lk(c.mutex);
        if (c.finished) {
            lk.unlock();
            c.thread.join();
        } else {
            c.thread.detach();
        }
    }
}

void ThreadCls::logInfo(const char* what) const
{
    Logg().information("ThreadCls:" + m_name + what);
}

bool ThreadCls::start()
{
    auto& c = *m_ctrl;
    {
        std::lock_guard lk(c.mutex);
        if (c.launched)
            return false;
        c.launched = true;
        if (!c.stopBeforeStart) {
            c.stopRequested = false;
            c.running = true;
        }
    }
    logInfo(":Start.");
    try {
        if (threadStartFails())
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        c.thread = std::thread(&ThreadCls::body, this, m_ctrl);
    } catch (const std::system_error&) {
        std::lock_guard lk(c.mutex);
        c.launched = false;
        c.running = false;
        Logg().lastSystemError("ThreadCls:" + m_name + ":Start: CreateThread failed:");
        return false;
    }
    return true;
}

void ThreadCls::body(ThreadCls* self, std::shared_ptr<Control> ctrl)
{
    auto& c = *ctrl;
    {
        std::lock_guard lk(c.mutex);
        c.tid = currentThreadId();
        if (c.stopBeforeStart) {
            c.exitCode = 0;
            c.running = false;
            c.finished = true;
            c.cv.notify_all();
            return;
        }
    }
    self->beforeExecute();
    bool run;
    {
        std::lock_guard lk(c.mutex);
        run = !c.stopRequested;
    }
    const int code = run ? self->execute() : 0;
    {
        std::lock_guard lk(c.mutex);
        c.exitCode = code;
        if (c.abandoned) {
            c.running = false;
            c.finished = true;
            c.cv.notify_all();
            return;
        }
        c.pastExecute = true;
    }
    self->afterExecute();
    std::lock_guard lk(c.mutex);
    c.finished = true;
    c.cv.notify_all();
}

void ThreadCls::beforeExecute()
{
    {
        std::lock_guard lk(m_ctrl->mutex);
        m_ctrl->running = true;
        m_ctrl->started = true;
        m_ctrl->stopRequested = false;
    }
    logInfo(":BeforeExec");
}

void ThreadCls::afterExecute()
{
    {
        std::lock_guard lk(m_ctrl->mutex);
        m_ctrl->stopRequested = true;
        m_ctrl->stopEvent = true;
        m_ctrl->running = false;
        m_ctrl->cv.notify_all();
    }
    logInfo(":AfterExec");
}

bool ThreadCls::stop()
{
    auto& c = *m_ctrl;
    std::unique_lock lk(c.mutex);
    const bool before = c.stopRequested;
    if (!c.launched && !before)
        c.stopBeforeStart = true;
    if (c.finished || before) {
        c.stopRequested = true;
        return before;
    }
    c.queue.push_back({kMsgClose, 0, 0});
    c.stopRequested = true;
    c.stopEvent = true;
    c.cv.notify_all();
    lk.unlock();
    logInfo(":Stop.");
    return before;
}

bool ThreadCls::stopRequested() const
{
    std::lock_guard lk(m_ctrl->mutex);
    return m_ctrl->stopRequested;
}

bool ThreadCls::running() const
{
    std::lock_guard lk(m_ctrl->mutex);
    return m_ctrl->running;
}

bool ThreadCls::started() const
{
    std::lock_guard lk(m_ctrl->mutex);
    return m_ctrl->started;
}

bool ThreadCls::finished() const
{
    std::lock_guard lk(m_ctrl->mutex);
    return m_ctrl->finished;
}

int ThreadCls::exitCode() const
{
    std::lock_guard lk(m_ctrl->mutex);
    return m_ctrl->exitCode;
}

std::int32_t ThreadCls::threadId() const
{
    std::lock_guard lk(m_ctrl->mutex);
    return m_ctrl->tid;
}

bool ThreadCls::waitForEnd(std::uint32_t ms)
{
    auto& c = *m_ctrl;
    {
        std::lock_guard lk(c.mutex);
        if (c.finished)
            return true;
        if (!c.launched)
            return false;
    }
    stop();
    std::unique_lock lk(c.mutex);
    if (ms == CritSectCls::kInfinite) {
        c.cv.wait(lk, [&] { return c.finished; });
        return true;
    }
    return c.cv.wait_for(lk, std::chrono::milliseconds(ms), [&] { return c.finished; });
}

bool ThreadCls::postMessage(const ThreadMsg& msg)
{
    std::lock_guard lk(m_ctrl->mutex);
    if (m_ctrl->finished)
        return false;
    m_ctrl->queue.push_back(msg);
    m_ctrl->cv.notify_all();
    return true;
}

bool ThreadCls::sleep(std::uint32_t ms)
{
    auto& c = *m_ctrl;
    std::unique_lock lk(c.mutex);
    auto stopped = [&] { return c.stopEvent || c.stopRequested; };
    bool gotStop;
    if (ms == CritSectCls::kInfinite) {
        c.cv.wait(lk, stopped);
        gotStop = true;
    } else {
        gotStop = c.cv.wait_for(lk, std::chrono::milliseconds(ms), stopped);
    }
    if (gotStop) {
        c.stopEvent = false;
        return false;
    }
    return true;
}

bool ThreadCls::waitForMessage(ThreadMsg& msg, std::uint32_t ms)
{
    auto& c = *m_ctrl;
    std::unique_lock lk(c.mutex);
    auto ready = [&] { return !c.queue.empty() || c.stopEvent; };
    if (ms == CritSectCls::kInfinite)
        c.cv.wait(lk, ready);
    else if (!c.cv.wait_for(lk, std::chrono::milliseconds(ms), ready))
        return false;
    if (c.queue.empty()) {
        c.stopEvent = false;  // the stop event
        return false;
    }
    msg = c.queue.front();
    c.queue.pop_front();
    if (msg.message == kMsgClose || msg.message == kMsgQuit) {
        const bool already = c.stopRequested;
        lk.unlock();
        logInfo(":WaitForMessage: WM_CLOSE/WM_QUIT received");
        if (!already)
            stop();
    }
    return true;
}

}  // namespace vkit
