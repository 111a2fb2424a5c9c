#include "core/CritSectCls.h"
#include "core/LoggCls.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sched.h>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

std::string uniqueName(const char* what)
{
    return std::string("vestest-") + what + "-" + std::to_string(::getpid());
}

std::string logText(const std::string& path)
{
    const auto b = vestest::readFile(path);
    return std::string(b.begin(), b.end());
}

// Runs `body` in a forked child and returns its exit status.
template <class F>
int inChild(F body)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(CritSectCls, RecursiveEnterNeedsAsManyLeavesAndAStrayLeaveIsLogged)
{
    vestest::TempDir dir;
    vkit::Logg().setPath(dir.file("lock.log"));
    for (const char* name : {static_cast<const char*>(nullptr), "recursive"}) {
        const std::string n = name ? uniqueName(name) : std::string();
        vkit::CritSectCls cs(name ? n.c_str() : nullptr);
        ASSERT_TRUE(cs.valid());
        ASSERT_TRUE(cs.enter());
        ASSERT_TRUE(cs.enter());
        EXPECT_TRUE(cs.leave());
        bool otherGotIt = true;
        std::thread([&] { otherGotIt = cs.enter(0); }).join();
        EXPECT_FALSE(otherGotIt) << "still held after one of two leaves";
        EXPECT_TRUE(cs.leave());
        std::thread([&] {
            otherGotIt = cs.enter(0);
            if (otherGotIt)
                cs.leave();
        }).join();
        EXPECT_TRUE(otherGotIt) << "free after the second leave";
        EXPECT_FALSE(cs.leave());
    }
    const std::string log = logText(dir.file("lock.log"));
    EXPECT_NE(log.find("CritSectCls::Leave: Leaving without entering/owning the sinc object."), std::string::npos);
    EXPECT_NE(log.find("WAIT_TIMEOUT"), std::string::npos);
    vkit::Logg().setPath(vkit::tempFolder() + "/vesperon-tests.log");
}

TEST(CritSectCls, TimedEnterWaitsThenFails)
{
    vkit::CritSectCls cs;
    std::atomic<bool> held{false}, release{false};
    std::thread owner([&] {
        cs.enter();
        held = true;
        while (!release)
            std::this_thread::yield();
        cs.leave();
    });
    while (!held)
        std::this_thread::yield();
    EXPECT_FALSE(cs.enter(30));
    release = true;
    owner.join();
    EXPECT_TRUE(cs.enter(1000));
    cs.leave();
}

TEST(CritSectCls, NamedLockExcludesAnotherProcess)
{
    const std::string name = uniqueName("shared");
    vkit::CritSectCls cs(name.c_str());
    ASSERT_TRUE(cs.valid());
    // A counter in memory both processes see, incremented without atomics:
    // only the lock keeps the read-yield-write sequences from interleaving.
    auto* counter = static_cast<volatile long*>(
        ::mmap(nullptr, sizeof(long), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(counter, MAP_FAILED);
    *counter = 0;
    constexpr int kRounds = 3000;
    auto work = [&] {
        vkit::CritSectCls mine(name.c_str());  // opened by name in each process
        for (int i = 0; i < kRounds; ++i) {
            if (!mine.enter())
                return 1;
            const long v = *counter;
            sched_yield();
            *counter = v + 1;
            mine.leave();
        }
        return 0;
    };
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(work());
    const int parentResult = work();
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(parentResult, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(*counter, 2L * kRounds);
    ::munmap(const_cast<long*>(counter), sizeof(long));
}

TEST(CritSectCls, LockOfADeadProcessIsReportedOnceThenUsable)
{
    const std::string name = uniqueName("abandoned");
    vkit::CritSectCls cs(name.c_str());
    const int child = inChild([&] {
        auto* mine = new vkit::CritSectCls(name.c_str());
        if (!mine->enter())
            return 1;
        ::_exit(0);  // dies holding the lock
    });
    ASSERT_EQ(child, 0);
    EXPECT_FALSE(cs.enter(1000)) << "abandoned";
    EXPECT_TRUE(cs.enter(1000));
    EXPECT_TRUE(cs.leave());
}
