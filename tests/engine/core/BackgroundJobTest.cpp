// The one way calculations run in the background: a stop reaches the work,
// the end is reported once with whether it was stopped, a job is joined
// before its owner goes, and a second start waits for the first to be joined.
#include "core/BackgroundJob.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace {

// Waits (bounded) until `done` says so.
template <class F>
bool eventually(F done)
{
    for (int i = 0; i < 10000 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return done();
}

// Work that runs until it is asked to stop, reporting progress as it goes.
void untilStopped(vkit::BackgroundJob::Control& c)
{
    for (int i = 0; !c.stopRequested(); i = (i + 1) % 1000) {
        c.setProgress(i);
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
}

}  // namespace

TEST(BackgroundJob, RunsToItsEndOrStopsWhenAsked)
{
    struct Case {
        const char* name;
        bool stop;  // stop() while the work still runs
    };
    for (const Case& c : {Case{"to the end", false}, Case{"stopped", true}}) {
        SCOPED_TRACE(c.name);
        std::atomic<int> ends{0};
        std::atomic<bool> stopped{false};
        std::atomic<bool> release{false};
        vkit::BackgroundJob job;
        ASSERT_TRUE(job.start(
            [&](vkit::BackgroundJob::Control& control) {
                control.setProgress(500);
                while (!release && !control.stopRequested())
                    std::this_thread::yield();
            },
            [&](bool wasStopped) {
                stopped = wasStopped;
                ++ends;
            }));
        EXPECT_TRUE(job.active());
        EXPECT_FALSE(job.start([](vkit::BackgroundJob::Control&) {})) << "one run at a time";
        ASSERT_TRUE(eventually([&] { return job.progressPermille() == 500; }));
        if (c.stop) {
            job.stop();
        } else {
            release = true;
            ASSERT_TRUE(eventually([&] { return job.finished(); }));
            job.join();
        }
        EXPECT_FALSE(job.active());
        EXPECT_TRUE(job.finished());
        EXPECT_EQ(ends.load(), 1);
        EXPECT_EQ(stopped.load(), c.stop);
        // Joined, the job takes the next run.
        EXPECT_TRUE(job.start([](vkit::BackgroundJob::Control&) {}));
    }
}

TEST(BackgroundJob, TheWorkMayStopItselfAndTheOwnerJoinsOnDestruction)
{
    auto job = std::make_unique<vkit::BackgroundJob>();
    std::atomic<bool> stopped{false};
    vkit::BackgroundJob* self = job.get();
    ASSERT_TRUE(job->start([self](vkit::BackgroundJob::Control&) { self->requestStop(); },
                           [&](bool wasStopped) { stopped = wasStopped; }));
    ASSERT_TRUE(eventually([&] { return job->finished(); }));
    EXPECT_TRUE(stopped);

    // Destroying a running job stops and joins it: nothing runs afterwards.
    std::atomic<bool> ended{false};
    job = std::make_unique<vkit::BackgroundJob>();
    ASSERT_TRUE(job->start(untilStopped, [&](bool) { ended = true; }));
    job.reset();
    EXPECT_TRUE(ended);
}
