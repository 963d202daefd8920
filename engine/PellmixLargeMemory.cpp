#include "engine/PellmixLargeMemory.h"

#include "platform/LargePages.h"

namespace PellmixLargeMemory
{
namespace
{
constexpr std::size_t hugePage = largePageBytes;
constexpr std::size_t largeBlock = std::size_t (4) << 20;
} // namespace

void* allocate (std::size_t bytes)
{
    if (bytes < largeBlock)
        return ::operator new (bytes);

    void* p = ::operator new (bytes, std::align_val_t (hugePage));
    adviseLargePages (p, bytes);
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
