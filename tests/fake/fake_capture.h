// The fake desktop's screen: what captureScreen sees.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace fake {

struct CaptureState {
    // The capturable screen in global points; empty (the default) captures nothing.
    platform::Rect screen;
    double scale = 1;  // pixels per point
    // The screen's pixels, `screen` at `scale`: pixel (px, py) shows the point
    // (screen.x + px / scale, screen.y + py / scale).
    platform::Bitmap pixels;
    // Answered instead of capturing when not none (nothing captured).
    platform::CaptureError error = platform::CaptureError::none;

    // Scripts a screen at `origin`, w x h points at `scale`, whose pixels are
    // the pattern of pixel().
    void fill(platform::Point origin, double w, double h, double pixelsPerPoint);
    // The scripted pattern's pixel (px, py): red px, green py, blue px + 2 py (each mod 256).
    static void pixel(std::int32_t px, std::int32_t py, std::uint8_t rgb[3]);
};

}  // namespace fake
