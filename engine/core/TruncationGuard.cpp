#include "core/TruncationGuard.h"

#include <atomic>
#include <csignal>
#include <cstdint>
#include <mutex>
#include <sys/mman.h>
#include <unistd.h>

namespace vkit {

namespace {

struct Slot {
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::uintptr_t> end{0};
    std::atomic<bool> hit{false};
    std::atomic<bool> taken{false};
};

Slot g_slots[TruncationGuard::kSlots];
std::uintptr_t g_pageMask = 0;
struct sigaction g_previous {};
std::once_flag g_installed;

void onSigbus(int sig, siginfo_t* info, void* context)
{
    const auto addr = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (Slot& s : g_slots) {
        const std::uintptr_t b = s.begin.load(std::memory_order_acquire);
        const std::uintptr_t e = s.end.load(std::memory_order_acquire);
        if (b == 0 || addr < b || addr >= e)
            continue;
        // Every page from the faulting one on lies beyond the end of the file.
        const std::uintptr_t page = addr & g_pageMask;
        void* p = ::mmap(reinterpret_cast<void*>(page), e - page, PROT_READ, MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS,
                         -1, 0);
        if (p != MAP_FAILED) {
            s.hit.store(true, std::memory_order_release);
            return;
        }
        break;
    }
    if ((g_previous.sa_flags & SA_SIGINFO) && g_previous.sa_sigaction) {
        g_previous.sa_sigaction(sig, info, context);
        return;
    }
    if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN && g_previous.sa_handler) {
        g_previous.sa_handler(sig);
        return;
    }
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

void install()
{
    g_pageMask = ~static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE) - 1);
    struct sigaction sa {};
    sa.sa_sigaction = onSigbus;
    sa.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGBUS, &sa, &g_previous);
}

}  // namespace

int TruncationGuard::protect(const void* begin, std::size_t length)
{
    std::call_once(g_installed, install);
    for (int i = 0; i < kSlots; ++i) {
        Slot& s = g_slots[i];
        bool expected = false;
        if (!s.taken.compare_exchange_strong(expected, true))
            continue;
        const auto b = reinterpret_cast<std::uintptr_t>(begin);
        s.hit.store(false, std::memory_order_relaxed);
        s.end.store(b + length, std::memory_order_release);
        s.begin.store(b, std::memory_order_release);
        return i;
    }
    return -1;
}

void TruncationGuard::release(int slot)
{
    if (slot < 0 || slot >= kSlots)
        return;
    Slot& s = g_slots[slot];
    s.begin.store(0, std::memory_order_release);
    s.end.store(0, std::memory_order_release);
    s.taken.store(false, std::memory_order_release);
}

bool TruncationGuard::wasHit(int slot)
{
    return slot >= 0 && slot < kSlots && g_slots[slot].hit.load(std::memory_order_acquire);
}

}  // namespace vkit
