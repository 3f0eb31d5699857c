// PNG encoder settings, timed on one captured screen: libpng's zlib level,
// row filters and zlib strategy, and libspng's when the benchmark is built
// with it (BENCH_HAVE_SPNG).
#pragma once

#include <cstddef>

#include "platform/platform.h"

namespace bench {

// Prints one row per setting: median ms, size, and both against encodePng's
// (`encodeMs`, `encodeBytes`, measured in the same run).
void compareEncoders(const platform::Bitmap& image, int rounds, double encodeMs, std::size_t encodeBytes);

}  // namespace bench
