#include "core/VectorKernels.h"

#include <atomic>

namespace {

VectorKernels detect()
{
#if defined(__x86_64__) && defined(__GNUC__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f"))
        return VectorKernels::Avx512;
    if (__builtin_cpu_supports("avx2"))
        return VectorKernels::Avx2;
#endif
    return VectorKernels::Portable;
}

int rank(VectorKernels k)
{
    switch (k) {
    case VectorKernels::Avx512:
        return 2;
    case VectorKernels::Avx2:
        return 1;
    case VectorKernels::Portable:
    case VectorKernels::Automatic:
        break;
    }
    return 0;
}

// The widest kernels this processor can run.
VectorKernels widest()
{
    static const VectorKernels kernels = detect();
    return kernels;
}

// Set up on first use, so that callers during static initialisation find it.
std::atomic<VectorKernels>& active()
{
    static std::atomic<VectorKernels> kernels{widest()};
    return kernels;
}

}  // namespace

void setVectorKernels(VectorKernels kernels)
{
    if (kernels == VectorKernels::Automatic || rank(kernels) > rank(widest()))
        kernels = widest();
    active().store(kernels, std::memory_order_relaxed);
}

VectorKernels activeVectorKernels()
{
    return active().load(std::memory_order_relaxed);
}
