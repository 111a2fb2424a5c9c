// Base class of worker threads with a stop protocol and a message queue.
//
// A derived class supplies execute(); its loop polls stopRequested(), or
// waits in sleep() or waitForMessage(), both of which return false as soon as
// a stop is requested. stop() may be called from any thread. The destructor
// stops the thread and waits for it up to destroyWaitMs() (5000 ms); derived
// classes whose execute() uses their own members must call waitForEnd() in
// their own destructor, before those members go.
#pragma once

#include "core/CritSectCls.h"

#include <cstdint>
#include <memory>
#include <string>

namespace vkit {

struct ThreadMsg {
    std::uint32_t message = 0;
    std::uint64_t wParam = 0;
    std::int64_t lParam = 0;
};

constexpr std::uint32_t kMsgClose = 0x0010;
constexpr std::uint32_t kMsgQuit = 0x0012;
constexpr std::uint32_t kMsgUser = 0x0400;

class ThreadCls {
public:
    explicit ThreadCls(std::string name);
    virtual ~ThreadCls();
    ThreadCls(const ThreadCls&) = delete;
    ThreadCls& operator=(const ThreadCls&) = delete;

    // Runs the thread. A thread stopped before it was started ends at once
    // with exit code 0 without running execute(). False when already started
    // or the system could not create the thread.
    virtual bool start();
    // Returns whether a stop had been requested before.
    virtual bool stop();
    virtual bool stopRequested() const;
    virtual bool running() const;
    // True at once when finished; otherwise requests a stop and waits.
    virtual bool waitForEnd(std::uint32_t ms);

    std::int32_t threadId() const;
    bool started() const;
    bool finished() const;
    int exitCode() const;
    const std::string& name() const { return m_name; }

    // Puts a message into the thread's queue (any thread may call it).
    bool postMessage(const ThreadMsg& msg);

    void lock() { m_cs.enter(); }
    void unlock() { m_cs.leave(); }

protected:
    virtual int execute() = 0;
    virtual void beforeExecute();
    virtual void afterExecute();

    // Called from the thread: true when the time passed, false when a stop was requested.
    bool sleep(std::uint32_t ms);
    // Called from the thread: true when a message was taken (a close or quit
    // message also requests a stop and is still returned); false on stop or timeout.
    bool waitForMessage(ThreadMsg& msg, std::uint32_t ms);

    std::uint32_t destroyWaitMs() const { return m_destroyWaitMs; }
    void setDestroyWaitMs(std::uint32_t ms) { m_destroyWaitMs = ms; }

    void logInfo(const char* what) const;

private:
    struct Control;
    static void body(ThreadCls* self, std::shared_ptr<Control> ctrl);

    std::string m_name;
    CritSectCls m_cs;
    std::shared_ptr<Control> m_ctrl;
    std::uint32_t m_destroyWaitMs = 5000;
};

}  // namespace vkit
