#pragma once
// Writing a file whole: the content goes to a temporary sibling of the target, which replaces the
// target only once every byte has reached the disk. A write that fails leaves neither a partial
// file nor a damaged old one.
//
// Threading: no shared state; any thread but the audio thread (it allocates and does file I/O).
#include <juce_core/juce_core.h>

#include <cstddef>
#include <functional>

// `writeBody` writes the whole content and returns false when a write failed. False when the
// file could not be written; the previous file is then left as it was.
bool writeFileThroughTemporary (const juce::File& target,
                                const std::function<bool (juce::OutputStream&)>& writeBody);
bool writeFileThroughTemporary (const juce::File& target, const void* data, std::size_t numBytes);
