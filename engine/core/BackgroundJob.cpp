#include "core/BackgroundJob.h"

#include "core/ThreadStartFaults.h"

#include <system_error>

namespace vkit {

namespace {

std::atomic<int> g_failingStarts{0};

}  // namespace

void failNextThreadStarts(int count)
{
    g_failingStarts.store(count > 0 ? count : 0);
}

bool threadStartFails()
{
    int n = g_failingStarts.load();
    while (n > 0)
        if (g_failingStarts.compare_exchange_weak(n, n - 1))
            return true;
    return false;
}

BackgroundJob::~BackgroundJob()
{
    stop();
}

bool BackgroundJob::start(Work work, Finished finished)
{
    if (m_thread.joinable())
        return false;
    // The control is in place before the thread runs: the work may ask its
    // own job to stop.
    auto control = std::make_shared<Control>();
    m_control = control;
    if (threadStartFails()) {
        m_control.reset();
        return false;
    }
    try {
        m_thread = std::thread([control, work = std::move(work), finished = std::move(finished)] {
            if (work)
                work(*control);
            if (finished)
                finished(control->stopRequested());
            control->m_finished.store(true, std::memory_order_release);
        });
    } catch (const std::system_error&) {
        m_control.reset();
        return false;
    }
    return true;
}

void BackgroundJob::stop()
{
    requestStop();
    join();
}

void BackgroundJob::requestStop()
{
    if (m_control)
        m_control->m_stop.store(true, std::memory_order_relaxed);
}

void BackgroundJob::join()
{
    if (!m_thread.joinable())
        return;
    // From its own `finished` (an owner going away there): nothing to wait for.
    if (m_thread.get_id() == std::this_thread::get_id())
        m_thread.detach();
    else
        m_thread.join();
}

}  // namespace vkit
