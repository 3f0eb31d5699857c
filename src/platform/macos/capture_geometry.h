// The arithmetic of the macOS screen capture, apart from the system calls:
// which display a region is captured from, and the pixel layout conversion.
#pragma once

#include <CoreGraphics/CoreGraphics.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace platform::mac {

// The common part of two rectangles (global points, y down); the empty
// rectangle at the origin when they share no area.
inline CGRect intersectRects(const CGRect& a, const CGRect& b) {
    double left = std::max(a.origin.x, b.origin.x);
    double top = std::max(a.origin.y, b.origin.y);
    double right = std::min(a.origin.x + a.size.width, b.origin.x + b.size.width);
    double bottom = std::min(a.origin.y + a.size.height, b.origin.y + b.size.height);
    if (right <= left || bottom <= top) return CGRect{};
    return CGRect{{left, top}, {right - left, bottom - top}};
}

// The index of the display (of `count`, by their bounds) holding the largest
// part of `wanted`, and that part; -1 when none holds any of it. On a tie the
// first display listed wins.
inline std::ptrdiff_t largestPart(const CGRect& wanted, const CGRect* bounds, std::size_t count, CGRect& part) {
    std::ptrdiff_t best = -1;
    double bestArea = 0;
    part = CGRect{};
    for (std::size_t i = 0; i < count; ++i) {
        CGRect common = intersectRects(wanted, bounds[i]);
        double area = common.size.width * common.size.height;
        if (area > bestArea) {
            bestArea = area;
            best = static_cast<std::ptrdiff_t>(i);
            part = common;
        }
    }
    return best;
}

// `part` relative to the top-left corner of the display whose bounds are
// `display`: the coordinates of a display-local source rectangle.
inline CGRect displayLocal(const CGRect& part, const CGRect& display) {
    return CGRect{{part.origin.x - display.origin.x, part.origin.y - display.origin.y}, part.size};
}

// Pixels for a length in points at `scale` pixels per point, to the nearest.
inline std::size_t pixelsFor(double points, double scale) {
    double pixels = points * scale + 0.5;
    return pixels >= 1 ? static_cast<std::size_t>(pixels) : 0;
}

// Four bytes a pixel (R, G, B, unused) to three (R, G, B).
inline void rgbxToRgb(const std::uint8_t* rgbx, std::size_t pixels, std::uint8_t* rgb) {
    for (std::size_t i = 0; i < pixels; ++i) {
        rgb[i * 3] = rgbx[i * 4];
        rgb[i * 3 + 1] = rgbx[i * 4 + 1];
        rgb[i * 3 + 2] = rgbx[i * 4 + 2];
    }
}

}  // namespace platform::mac
