#pragma once
// Real-time safety of the audio callbacks.
//
// PELLMIX_NONBLOCKING marks a function that runs on the audio thread, after its parameter list:
//     void processBlock (...) PELLMIX_NONBLOCKING;
// Such a function must not allocate, free, lock a mutex, do I/O or wait. Under clang the compiler
// checks every call it can see (-Wfunction-effects), and the real-time sanitizer
// (-fsanitize=realtime) reports every such call made inside it at run time. Other compilers
// ignore it.
//
// PELLMIX_FRAMEWORK_CALL (call) runs one call into framework code that takes the framework's own
// locks, with both checks off for that call only. Every use says which lock and why the wait for
// it is bounded. Our own code is never wrapped.
//
// pellmixWallClockMs(): the wall clock for time stamps taken on the audio thread.
//
// PellmixSpinLock: a lock that the audio thread tries without a system call and never waits for.
#include <atomic>
#include <cstdint>
#include <thread>
#include <time.h>

#if defined(__clang__) && defined(__has_cpp_attribute)
#if __has_cpp_attribute(clang::nonblocking)
#define PELLMIX_NONBLOCKING [[clang::nonblocking]]
#endif
#endif

// clang-format off
#ifdef PELLMIX_NONBLOCKING
#if defined(__has_include) && __has_include(<sanitizer/rtsan_interface.h>)
#include <sanitizer/rtsan_interface.h> // a no-op ScopedDisabler without -fsanitize=realtime
#define PELLMIX_RTSAN_SCOPED_DISABLER __rtsan::ScopedDisabler pellmixRtsanDisabler
#else
#define PELLMIX_RTSAN_SCOPED_DISABLER
#endif
#define PELLMIX_FRAMEWORK_CALL(...)                                     \
    _Pragma ("clang diagnostic push")                                   \
    _Pragma ("clang diagnostic ignored \"-Wfunction-effects\"")         \
    do { PELLMIX_RTSAN_SCOPED_DISABLER; __VA_ARGS__; } while (false)    \
    _Pragma ("clang diagnostic pop")
// The C library's clock read takes no lock and never waits; its header cannot say so.
extern "C" int clock_gettime (clockid_t, struct timespec*) noexcept PELLMIX_NONBLOCKING;
#else
#define PELLMIX_NONBLOCKING
#define PELLMIX_FRAMEWORK_CALL(...) do { __VA_ARGS__; } while (false)
#endif
// clang-format on

// Milliseconds since 1970, as juce::Time::currentTimeMillis() counts them.
inline std::int64_t pellmixWallClockMs() noexcept PELLMIX_NONBLOCKING
{
    timespec now{};
    clock_gettime (CLOCK_REALTIME, &now);
    return (std::int64_t)now.tv_sec * 1000 + (std::int64_t)now.tv_nsec / 1000000;
}

// A test-and-set lock. The audio thread only ever tries it once (tryEnter) and never waits: a
// block that finds it taken goes on without what the lock guards. Every other thread waits with
// enterYielding(), which gives the processor away while the lock is held for a whole audio block.
class PellmixSpinLock
{
public:
    // Audio thread: takes the lock when it is free; false, at once, when another thread holds it.
    bool tryEnter() const noexcept PELLMIX_NONBLOCKING
    {
        return !locked.load (std::memory_order_relaxed) && !locked.exchange (true, std::memory_order_acquire);
    }

    // Any other thread: spins briefly, then gives the processor away between looks.
    void enterYielding() const noexcept
    {
        for (int looks = 0; locked.exchange (true, std::memory_order_acquire);)
            while (locked.load (std::memory_order_relaxed))
            {
                if (++looks < 100)
                    pause();
                else
                    std::this_thread::yield();
            }
    }

    void exit() const noexcept PELLMIX_NONBLOCKING { locked.store (false, std::memory_order_release); }

    // The audio thread's one try for a scope: owns() says whether it got the lock.
    class AudioTryScope
    {
    public:
        explicit AudioTryScope (const PellmixSpinLock& l) noexcept PELLMIX_NONBLOCKING : lock (l),
                                                                                         owned (l.tryEnter())
        {
        }
        ~AudioTryScope() PELLMIX_NONBLOCKING
        {
            if (owned)
                lock.exit();
        }
        bool owns() const noexcept PELLMIX_NONBLOCKING { return owned; }
        AudioTryScope (const AudioTryScope&) = delete;
        AudioTryScope& operator= (const AudioTryScope&) = delete;

    private:
        const PellmixSpinLock& lock;
        const bool owned;
    };

    // Any other thread: holds the lock for a scope.
    class Scope
    {
    public:
        explicit Scope (const PellmixSpinLock& l) noexcept
            : lock (l)
        {
            lock.enterYielding();
        }
        ~Scope() { lock.exit(); }
        Scope (const Scope&) = delete;
        Scope& operator= (const Scope&) = delete;

    private:
        const PellmixSpinLock& lock;
    };

private:
    static void pause() noexcept PELLMIX_NONBLOCKING
    {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#elif defined(__aarch64__) || defined(__arm__)
        __asm__ __volatile__("yield");
#endif
    }

    mutable std::atomic<bool> locked{false};
};
