#include "engine/PellmixLargeMemory.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace PellmixLargeMemory
{
namespace
{
constexpr std::size_t hugePage = std::size_t (2) << 20;
constexpr std::size_t largeBlock = std::size_t (4) << 20;
} // namespace

void* allocate (std::size_t bytes)
{
    if (bytes < largeBlock)
        return ::operator new (bytes);

    void* p = ::operator new (bytes, std::align_val_t (hugePage));
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Advice only: where huge pages are off or none is free, the block keeps small pages.
    ::madvise (p, bytes & ~(hugePage - 1), MADV_HUGEPAGE);
#endif
    return p;
}

void release (void* p, std::size_t bytes) noexcept
{
    if (p == nullptr)
        return;
    if (bytes < largeBlock)
        ::operator delete (p);
    else
        ::operator delete (p, std::align_val_t (hugePage));
}
} // namespace PellmixLargeMemory
