#pragma once
// Memory for long signals and their transforms (megabytes): blocks of 4 MiB and more are aligned
// to 2 MiB and advised to be backed by huge pages (platform/LargePages.h). Touching such a block the first
// time then costs one page fault per 2 MiB instead of one per 4 KiB, and the long FFT passes that
// sweep it miss the TLB less. Smaller blocks are plain allocations.
//
// Threading: no shared state; any thread. Allocation failures throw std::bad_alloc. Not for the
// audio thread (it allocates).
#include <cstddef>
#include <new>
#include <vector>

namespace PellmixLargeMemory
{
void* allocate (std::size_t bytes);
// p from allocate (bytes) with the same bytes; null is ignored.
void release (void* p, std::size_t bytes) noexcept;
} // namespace PellmixLargeMemory

// A std allocator on PellmixLargeMemory.
template <typename T>
struct PellmixLargeAllocator
{
    using value_type = T;

    PellmixLargeAllocator() = default;
    template <typename U>
    PellmixLargeAllocator (const PellmixLargeAllocator<U>&) noexcept
    {
    }

    T* allocate (std::size_t n) { return static_cast<T*> (PellmixLargeMemory::allocate (n * sizeof (T))); }
    void deallocate (T* p, std::size_t n) noexcept { PellmixLargeMemory::release (p, n * sizeof (T)); }

    template <typename U>
    bool operator== (const PellmixLargeAllocator<U>&) const noexcept
    {
        return true;
    }
    template <typename U>
    bool operator!= (const PellmixLargeAllocator<U>&) const noexcept
    {
        return false;
    }
};

// Samples of a long signal.
template <typename T>
using PellmixLargeVector = std::vector<T, PellmixLargeAllocator<T>>;

// An owned array of n values of a trivial type, left uninitialised.
template <typename T>
class PellmixLargeArray
{
public:
    PellmixLargeArray() = default;
    explicit PellmixLargeArray (std::size_t n)
        : data (static_cast<T*> (PellmixLargeMemory::allocate (n * sizeof (T))))
        , count (n)
    {
    }
    ~PellmixLargeArray() { PellmixLargeMemory::release (data, count * sizeof (T)); }

    PellmixLargeArray (const PellmixLargeArray&) = delete;
    PellmixLargeArray& operator= (const PellmixLargeArray&) = delete;

    T* get() const { return data; }
    std::size_t size() const { return count; }
    T& operator[] (std::size_t i) const { return data[i]; }

    void reset()
    {
        PellmixLargeMemory::release (data, count * sizeof (T));
        data = nullptr;
        count = 0;
    }

private:
    T* data = nullptr;
    std::size_t count = 0;
};
