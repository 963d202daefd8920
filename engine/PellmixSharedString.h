#pragma once
#include <juce_core/juce_core.h>

// A string that one thread writes and another reads, always handed over whole: set() and get()
// copy the value under a short spin lock, so a reader never sees a half-written path.
// Not for the audio thread (copying a juce::String may allocate).
class PellmixSharedString
{
public:
    PellmixSharedString() = default;

    void set (const juce::String& newValue)
    {
        const juce::SpinLock::ScopedLockType sl (lock);
        value = newValue;
    }

    juce::String get() const
    {
        const juce::SpinLock::ScopedLockType sl (lock);
        return value;
    }

    // Returns the value and empties it in one step, so a value set meanwhile is never lost and
    // never taken twice.
    juce::String take()
    {
        const juce::SpinLock::ScopedLockType sl (lock);
        juce::String taken;
        taken.swapWith (value);
        return taken;
    }

    void clear() { set ({}); }
    bool isEmpty() const { return get().isEmpty(); }

private:
    mutable juce::SpinLock lock;
    juce::String value;

    JUCE_DECLARE_NON_COPYABLE (PellmixSharedString)
};
