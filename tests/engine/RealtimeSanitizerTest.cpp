// The real-time sanitizer build checks what it claims to: there, an allocation inside a
// PELLMIX_NONBLOCKING function ends the process with the sanitizer's report, while the same
// allocation wrapped in PELLMIX_FRAMEWORK_CALL is let through. Skipped in other builds.
#include "engine/PellmixRealtime.h"

#include <gtest/gtest.h>

#if defined(__has_feature)
#if __has_feature(realtime_sanitizer)
#define PELLMIX_TEST_RTSAN 1
#endif
#endif

#ifdef PELLMIX_TEST_RTSAN
// The compiler would refuse these allocations; the point is that the run-time check sees them too.
#pragma clang diagnostic ignored "-Wfunction-effects"

namespace
{
// A heap block the optimiser cannot remove.
int allocate (int n)
{
    static int* volatile block = nullptr;
    block = new int[(size_t)n];
    block[n - 1] = n;
    const int last = block[n - 1];
    delete[] block;
    return last;
}

int allocateInRealtimeContext (int n) PELLMIX_NONBLOCKING
{
    return allocate (n);
}

int allocateInFrameworkCall (int n) PELLMIX_NONBLOCKING
{
    int result = 0;
    PELLMIX_FRAMEWORK_CALL (result = allocate (n));
    return result;
}
} // namespace

TEST (RealtimeSanitizer, ReportsAnAllocationOnlyOutsideFrameworkCalls)
{
    GTEST_FLAG_SET (death_test_style, "threadsafe");
    EXPECT_DEATH (allocateInRealtimeContext (16),
                  "RealtimeSanitizer: unsafe-library-call[^#]*`malloc` in real-time context");
    EXPECT_EQ (allocateInFrameworkCall (16), 16);
    EXPECT_EQ (allocate (16), 16); // outside any real-time context
}
#else
TEST (RealtimeSanitizer, ReportsAnAllocationOnlyOutsideFrameworkCalls)
{
    GTEST_SKIP() << "built without -fsanitize=realtime";
}
#endif
