#pragma once

#include <cstdint>

// Counts the bytes held through malloc and its kin (operator new, QByteArray and QImage all
// end there) by replacing the C allocator's entry points for the whole program. Linked only
// into the memory benchmark, never beside a sanitizer.
namespace orvelle::bench {

// Bytes held right now.
int64_t HeldBytes();

// Starts a new peak at what is held now, and returns it.
int64_t ResetPeak();

// The most bytes held at once since the last ResetPeak().
int64_t PeakBytes();

}  // namespace orvelle::bench
