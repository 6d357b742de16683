// The checks of the fuzz targets, shared with the replay test: any input must
// load or fail cleanly, and whatever loads must write a file that loads again
// with the same structure.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qmfuzz {

enum class TFuzzOutcome { Rejected, WriteRefused, Rewritten };

// Loads data as a drawing; on success purges it, writes it to memory and reads
// that back. Aborts (via __builtin_trap) when a property does not hold.
TFuzzOutcome CheckLoadAndRewrite(const uint8_t* data, size_t size);

}  // namespace qmfuzz
