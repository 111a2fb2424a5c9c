// A recursive lock. Given a name, the lock is shared by every process that
// makes one with the same name (it lives in a POSIX shared-memory object);
// without a name it is local to the process. If a process dies while holding
// a named lock, the next enter reports the abandoned lock, frees it and fails;
// the enter after that succeeds.
#pragma once

#include <cstdint>
#include <string>

namespace vkit {

class CritSectCls {
public:
    static constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;
    static constexpr std::size_t kMaxNameLength = 276;

    explicit CritSectCls(const char* name = nullptr);
    ~CritSectCls();
    CritSectCls(const CritSectCls&) = delete;
    CritSectCls& operator=(const CritSectCls&) = delete;

    // False when the timeout ran out, the lock was abandoned or the wait failed.
    bool enter(std::uint32_t timeoutMs = kInfinite);
    // False (and logged) when the calling thread does not own the lock.
    bool leave();

    bool valid() const { return m_shared != nullptr; }
    const std::string& name() const { return m_name; }
    int waitingThreads() const;
    bool ownedByCaller() const;

private:
    struct Shared;
    Shared* m_shared = nullptr;
    std::string m_name;
    std::string m_shmName;
    int m_fd = -1;
};

// Enters on construction, leaves on destruction.
class CritSectLock {
public:
    explicit CritSectLock(CritSectCls& cs, std::uint32_t timeoutMs = CritSectCls::kInfinite)
        : m_cs(cs), m_locked(cs.enter(timeoutMs)) {}
    ~CritSectLock()
    {
        if (m_locked)
            m_cs.leave();
    }
    CritSectLock(const CritSectLock&) = delete;
    CritSectLock& operator=(const CritSectLock&) = delete;
    bool locked() const { return m_locked; }

private:
    CritSectCls& m_cs;
    bool m_locked;
};

// Kernel id of the calling thread.
std::int32_t currentThreadId();

}  // namespace vkit
