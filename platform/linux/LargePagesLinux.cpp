#include "platform/LargePages.h"

#include <sys/mman.h>

void adviseLargePages (void* p, std::size_t bytes) noexcept
{
#if defined(MADV_HUGEPAGE)
    ::madvise (p, bytes & ~(largePageBytes - 1), MADV_HUGEPAGE);
#else
    (void)p;
    (void)bytes;
#endif
}
