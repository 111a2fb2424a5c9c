#include "core/CritSectCls.h"

#include "core/LoggCls.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vkit {

struct CritSectCls::Shared {
    static constexpr std::uint32_t kMagic = 0x56437331;  // "VCs1"
    std::atomic<std::uint32_t> magic;
    pthread_mutex_t mutex;
    std::atomic<std::int32_t> ownerPid;
    std::atomic<std::int32_t> ownerTid;
    std::int32_t recursion;
    std::atomic<std::int32_t> waiting;
    std::int32_t users;  // processes that have it open; changed under the file lock
};

std::int32_t currentThreadId()
{
    // Not cached: a forked child must not see its parent's id.
    return static_cast<std::int32_t>(::gettid());
}

namespace {

std::int32_t currentProcessId()
{
    return static_cast<std::int32_t>(::getpid());
}

bool initMutex(pthread_mutex_t* m, bool shared)
{
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    if (shared) {
        pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
        pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
    }
    const int rc = pthread_mutex_init(m, &attr);
    pthread_mutexattr_destroy(&attr);
    return rc == 0;
}

// A shared-memory object name that is valid whatever the lock's name holds.
std::string shmNameFor(const std::string& name)
{
    std::string out = "/vesperon-lock.";
    for (unsigned char c : name)
        out += (c == '/' || c < 0x20) ? '_' : static_cast<char>(c);
    if (out.size() > 200) {
        char hash[32];
        std::snprintf(hash, sizeof hash, ".%016zx", std::hash<std::string>{}(name));
        out = out.substr(0, 180) + hash;
    }
    return out;
}

}  // namespace

CritSectCls::CritSectCls(const char* name)
{
    if (!name || !*name) {
        m_shared = new Shared{};
        m_shared->magic = Shared::kMagic;
        initMutex(&m_shared->mutex, false);
        return;
    }
    m_name.assign(name);
    if (m_name.size() > kMaxNameLength)
        m_name.resize(kMaxNameLength);
    m_shmName = shmNameFor(m_name);
    // Another process may unlink the object between our open and our lock:
    // then it has no links left, and we try again with a fresh one.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = ::shm_open(m_shmName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            Logg().lastSystemError("CritSectCls::CritSectCls:CreateEvent failed:");
            return;
        }
        ::flock(fd, LOCK_EX);
        struct stat st {};
        if (::fstat(fd, &st) != 0 || st.st_nlink == 0) {
            ::flock(fd, LOCK_UN);
            ::close(fd);
            continue;
        }
        const bool fresh = st.st_size < static_cast<off_t>(sizeof(Shared));
        if (fresh && ::ftruncate(fd, sizeof(Shared)) != 0) {
            Logg().lastSystemError("CritSectCls::CritSectCls:CreateEvent failed:");
            ::flock(fd, LOCK_UN);
            ::close(fd);
            return;
        }
        void* p = ::mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (p == MAP_FAILED) {
            Logg().lastSystemError("CritSectCls::CritSectCls:CreateEvent failed:");
            ::flock(fd, LOCK_UN);
            ::close(fd);
            return;
        }
        auto* sh = static_cast<Shared*>(p);
        if (fresh || sh->magic.load() != Shared::kMagic) {
            new (sh) Shared{};
            initMutex(&sh->mutex, true);
            sh->magic = Shared::kMagic;
        }
        ++sh->users;
        ::flock(fd, LOCK_UN);
        m_shared = sh;
        m_fd = fd;
        return;
    }
}

CritSectCls::~CritSectCls()
{
    if (!m_shared)
        return;
    const int waiting = m_shared->waiting.load();
    if (waiting > 0) {
        char msg[128];
        std::snprintf(msg, sizeof msg, "CritSectCls::~CritSectCls: destroying with %d waiting threads.", waiting);
        Logg().error(msg);
    }
    if (m_fd < 0) {
        pthread_mutex_destroy(&m_shared->mutex);
        delete m_shared;
        return;
    }
    ::flock(m_fd, LOCK_EX);
    if (ownedByCaller()) {
        m_shared->recursion = 0;
        m_shared->ownerTid = 0;
        m_shared->ownerPid = 0;
        pthread_mutex_unlock(&m_shared->mutex);
    }
    if (--m_shared->users <= 0)
        ::shm_unlink(m_shmName.c_str());
    ::flock(m_fd, LOCK_UN);
    ::munmap(m_shared, sizeof(Shared));
    ::close(m_fd);
}

bool CritSectCls::ownedByCaller() const
{
    return m_shared && m_shared->ownerTid.load() == currentThreadId() &&
           m_shared->ownerPid.load() == currentProcessId();
}

int CritSectCls::waitingThreads() const
{
    return m_shared ? m_shared->waiting.load() : 0;
}

bool CritSectCls::enter(std::uint32_t timeoutMs)
{
    if (!m_shared)
        return false;
    if (ownedByCaller()) {
        ++m_shared->recursion;
        return true;
    }
    ++m_shared->waiting;
    int rc;
    if (timeoutMs == kInfinite) {
        rc = pthread_mutex_lock(&m_shared->mutex);
    } else if (timeoutMs == 0) {
        rc = pthread_mutex_trylock(&m_shared->mutex);
        if (rc == EBUSY)
            rc = ETIMEDOUT;
    } else {
        timespec until {};
        clock_gettime(CLOCK_REALTIME, &until);
        until.tv_sec += timeoutMs / 1000;
        until.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
        if (until.tv_nsec >= 1000000000L) {
            until.tv_sec += 1;
            until.tv_nsec -= 1000000000L;
        }
        rc = pthread_mutex_timedlock(&m_shared->mutex, &until);
    }
    --m_shared->waiting;
    if (rc == 0) {
        m_shared->ownerPid = currentProcessId();
        m_shared->ownerTid = currentThreadId();
        m_shared->recursion = 1;
        return true;
    }
    if (rc == EOWNERDEAD) {
        // The owner died holding it: make it usable again, but report this
        // enter as failed since what it guarded may be half-done.
        pthread_mutex_consistent(&m_shared->mutex);
        m_shared->ownerPid = 0;
        m_shared->ownerTid = 0;
        m_shared->recursion = 0;
        pthread_mutex_unlock(&m_shared->mutex);
        Logg().error("CritSectCls::Enter:WaitForSingleObject returned WAIT_ABANDONED.");
        return false;
    }
    if (rc == ETIMEDOUT) {
        Logg().warning("CritSectCls::Enter:WaitForSingleObject returned WAIT_TIMEOUT");
        return false;
    }
    Logg().systemError(rc, "CritSectCls::Enter:WaitForSingleObject failed:");
    return false;
}

bool CritSectCls::leave()
{
    if (!m_shared)
        return false;
    if (!ownedByCaller()) {
        Logg().error("CritSectCls::Leave: Leaving without entering/owning the sinc object.");
        return false;
    }
    if (--m_shared->recursion == 0) {
        m_shared->ownerTid = 0;
        m_shared->ownerPid = 0;
        pthread_mutex_unlock(&m_shared->mutex);
    }
    return true;
}

}  // namespace vkit
