#include "kernels/Kernels.h"

#include "kernels/KernelsInternal.h"

#include <atomic>
#include <cstring>

namespace {

const KernelTable& detect()
{
#if VES_X86_KERNELS
    __builtin_cpu_init();
    // The AVX-512 kernels use AVX-512F and VL; both vector sets fuse products (FMA).
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("fma"))
        return vkern::avx512::table;
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"))
        return vkern::avx2::table;
#endif
    return vkern::portable::table;
}

// The widest kernels this processor can run.
const KernelTable& widest()
{
    static const KernelTable& table = detect();
    return table;
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

// Set up on first use, so that callers during static initialisation find it.
std::atomic<const KernelTable*>& active()
{
    static std::atomic<const KernelTable*> table{&widest()};
    return table;
}

}  // namespace

const KernelTable* vectorKernelsOf(VectorKernels kernels)
{
    if (kernels == VectorKernels::Automatic)
        return &widest();
    if (rank(kernels) > rank(widest().kind))
        return nullptr;
    switch (kernels) {
#if VES_X86_KERNELS
    case VectorKernels::Avx512:
        return &vkern::avx512::table;
    case VectorKernels::Avx2:
        return &vkern::avx2::table;
#endif
    default:
        return &vkern::portable::table;
    }
}

void setVectorKernels(VectorKernels kernels)
{
    const KernelTable* table = vectorKernelsOf(kernels);
    active().store(table != nullptr ? table : &widest(), std::memory_order_relaxed);
}

VectorKernels activeVectorKernels()
{
    return vectorKernels().kind;
}

const KernelTable& vectorKernels()
{
    return *active().load(std::memory_order_relaxed);
}

VectorKernels vectorKernelsNamed(const char* name)
{
    if (name == nullptr)
        return VectorKernels::Automatic;
    for (VectorKernels k : {VectorKernels::Portable, VectorKernels::Avx2, VectorKernels::Avx512})
        if (std::strcmp(name, vectorKernelsName(k)) == 0)
            return k;
    return VectorKernels::Automatic;
}

const char* vectorKernelsName(VectorKernels kernels)
{
    switch (kernels) {
    case VectorKernels::Portable:
        return "portable";
    case VectorKernels::Avx2:
        return "avx2";
    case VectorKernels::Avx512:
        return "avx512";
    case VectorKernels::Automatic:
        break;
    }
    return "auto";
}
