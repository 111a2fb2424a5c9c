// An allocator for vectors whose data must start on a cache line: vector
// loops over such data never split a load across two lines.
#pragma once

#include <cstddef>
#include <new>
#include <vector>

namespace vkit {

template <typename T, std::size_t Alignment = 64>
struct AlignedAllocator {
    using value_type = T;
    static_assert(Alignment >= alignof(T) && (Alignment & (Alignment - 1)) == 0);

    AlignedAllocator() noexcept = default;
    template <typename U>
    AlignedAllocator(const AlignedAllocator<U, Alignment>&) noexcept
    {
    }
    template <typename U>
    struct rebind {
        using other = AlignedAllocator<U, Alignment>;
    };

    T* allocate(std::size_t n)
    {
        return static_cast<T*>(::operator new(n * sizeof(T), std::align_val_t{Alignment}));
    }
    void deallocate(T* p, std::size_t) noexcept
    {
        ::operator delete(p, std::align_val_t{Alignment});
    }
    template <typename U>
    bool operator==(const AlignedAllocator<U, Alignment>&) const noexcept
    {
        return true;
    }
};

template <typename T>
using AlignedVector = std::vector<T, AlignedAllocator<T>>;

}  // namespace vkit
