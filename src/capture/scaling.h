// Region and image arithmetic of the screenshot operation: clipping a region
// to a screen, and scaling an image down to a largest width.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace capture {

// The part of `a` that lies in `b`; an empty rectangle (width and height 0,
// at a's origin) when they do not overlap or either is empty or not finite.
platform::Rect intersect(const platform::Rect& a, const platform::Rect& b);
// Width and height above 0 (and finite).
bool nonEmpty(const platform::Rect& r);

struct Dimensions {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// The size of a width x height image scaled down so its width is at most
// maxWidth, keeping the aspect ratio: the height is rounded to the nearest
// pixel (halves up) and is at least 1. An image already narrow enough keeps
// its size; nothing is scaled up. A maxWidth below 1 counts as 1.
Dimensions reducedSize(std::int32_t width, std::int32_t height, std::int32_t maxWidth);

// `image` resampled to `size` by area averaging: every output pixel is the
// mean of the source area it covers, each source pixel weighted by the part
// of it inside, rounded to the nearest value. Meant for shrinking (a size not
// above the image's in both directions); a size equal to the image's returns
// a copy. An empty or inconsistent image, or an empty size, gives an empty bitmap.
platform::Bitmap resample(const platform::Bitmap& image, Dimensions size);

}  // namespace capture
