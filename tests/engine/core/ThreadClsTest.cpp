#include "core/ThreadCls.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Collects messages until stopped; returns the number taken as exit code.
class Collector : public vkit::ThreadCls {
public:
    Collector() : ThreadCls("Collector") {}
    ~Collector() override { waitForEnd(5000); }
    std::vector<std::uint32_t> got;  // read only after the thread ended
    std::atomic<std::size_t> taken{0};
    std::atomic<int> executed{0};

protected:
    int execute() override
    {
        ++executed;
        vkit::ThreadMsg msg;
        while (!stopRequested()) {
            if (waitForMessage(msg, 2000)) {
                got.push_back(msg.message);
                ++taken;
            }
        }
        return static_cast<int>(got.size());
    }
};

class Sleeper : public vkit::ThreadCls {
public:
    Sleeper() : ThreadCls("Sleeper") {}
    ~Sleeper() override { waitForEnd(5000); }
    std::atomic<bool> sleptFully{true};
    std::atomic<bool> entered{false};

protected:
    int execute() override
    {
        entered = true;
        sleptFully = sleep(60000);
        return 7;
    }
};

// Shared with a thread that outlives its object.
struct Outside {
    std::atomic<bool> entered{false};  // execute holds its own reference
    std::atomic<bool> release{false};
    std::atomic<bool> done{false};
};

class Stubborn : public vkit::ThreadCls {
public:
    explicit Stubborn(std::shared_ptr<Outside> o) : ThreadCls("Stubborn"), m_outside(std::move(o))
    {
        setDestroyWaitMs(50);
    }

protected:
    int execute() override
    {
        auto o = m_outside;  // keep it alive past this object
        o->entered = true;
        while (!o->release)
            std::this_thread::sleep_for(1ms);
        o->done = true;
        return 0;
    }

private:
    std::shared_ptr<Outside> m_outside;
};

}  // namespace

TEST(ThreadCls, MessagesArriveInOrderAndStopEndsTheLoop)
{
    Collector t;
    ASSERT_TRUE(t.start());
    for (std::uint32_t m = vkit::kMsgUser; m < vkit::kMsgUser + 5; ++m)
        ASSERT_TRUE(t.postMessage({m, 0, 0}));
    while (t.running() && t.taken < 5)  // the thread appends; wait until it has them
        std::this_thread::sleep_for(1ms);
    EXPECT_FALSE(t.stop()) << "no stop had been requested before";
    EXPECT_TRUE(t.stop());
    ASSERT_TRUE(t.waitForEnd(5000));
    ASSERT_GE(t.got.size(), 5u);
    for (std::uint32_t i = 0; i < 5; ++i)
        EXPECT_EQ(t.got[i], vkit::kMsgUser + i);
    EXPECT_EQ(t.exitCode(), static_cast<int>(t.got.size()));
    EXPECT_FALSE(t.running());
    EXPECT_FALSE(t.postMessage({vkit::kMsgUser, 0, 0})) << "nobody takes messages after the end";
}

TEST(ThreadCls, CloseMessageRequestsAStopAndIsStillReturned)
{
    Collector t;
    ASSERT_TRUE(t.start());
    t.postMessage({vkit::kMsgQuit, 0, 0});
    ASSERT_TRUE(t.waitForEnd(5000));
    ASSERT_FALSE(t.got.empty());
    EXPECT_EQ(t.got.back(), vkit::kMsgQuit);
}

TEST(ThreadCls, StoppedBeforeStartEndsWithZeroWithoutExecuting)
{
    Collector t;
    EXPECT_FALSE(t.stop());
    ASSERT_TRUE(t.start());
    ASSERT_TRUE(t.waitForEnd(5000));
    EXPECT_EQ(t.executed, 0);
    EXPECT_EQ(t.exitCode(), 0);
    EXPECT_FALSE(t.started());
}

TEST(ThreadCls, StopWakesASleepingThread)
{
    Sleeper t;
    ASSERT_TRUE(t.start());
    // Until the sleep has begun: a stop before execute runs ends the thread
    // without executing (the case above), which is not what this one tests.
    while (!t.entered)
        std::this_thread::sleep_for(1ms);
    const auto before = std::chrono::steady_clock::now();
    t.stop();
    ASSERT_TRUE(t.waitForEnd(10000));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 30s);
    EXPECT_FALSE(t.sleptFully);
    EXPECT_EQ(t.exitCode(), 7);
}

TEST(ThreadCls, DestroyingAThreadThatIgnoresStopGivesUpAndLeavesItRunning)
{
    auto outside = std::make_shared<Outside>();
    {
        Stubborn t(outside);
        ASSERT_TRUE(t.start());
        // Not just started: the object's members go before the base class
        // waits, so execute must have taken its reference first.
        while (!outside->entered)
            std::this_thread::sleep_for(1ms);
    }  // waits the destroy time, then goes on
    EXPECT_FALSE(outside->done);
    outside->release = true;
    for (int i = 0; i < 5000 && !outside->done; ++i)
        std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(outside->done);
    std::this_thread::sleep_for(20ms);  // let the thread finish its bookkeeping (checked by ASan)
}
