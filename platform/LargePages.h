#pragma once
#include <cstddef>

// Asks the system to back a block of memory with huge pages (2 MiB) where it can. Advice only:
// where huge pages are off, none is free or the system has none, the block keeps small pages and
// nothing fails. `p` is aligned to 2 MiB; only whole huge pages of the block are advised.
//
// Threading: no state; any thread but the audio thread (a system call).
constexpr std::size_t largePageBytes = std::size_t (2) << 20;
void adviseLargePages (void* p, std::size_t bytes) noexcept;
