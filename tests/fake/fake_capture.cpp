#include "fake_capture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "capture/scaling.h"
#include "fake.h"

namespace fake {

void CaptureState::pixel(std::int32_t px, std::int32_t py, std::uint8_t rgb[3]) {
    rgb[0] = static_cast<std::uint8_t>(px & 255);
    rgb[1] = static_cast<std::uint8_t>(py & 255);
    rgb[2] = static_cast<std::uint8_t>((px + 2 * py) & 255);
}

void CaptureState::fill(platform::Point origin, double w, double h, double pixelsPerPoint) {
    screen = {origin, {w, h}};
    scale = pixelsPerPoint;
    pixels.width = static_cast<std::int32_t>(std::lround(w * pixelsPerPoint));
    pixels.height = static_cast<std::int32_t>(std::lround(h * pixelsPerPoint));
    pixels.rgb.assign(static_cast<std::size_t>(pixels.width) * static_cast<std::size_t>(pixels.height) * 3, 0);
    for (std::int32_t y = 0; y < pixels.height; ++y)
        for (std::int32_t x = 0; x < pixels.width; ++x)
            pixel(x, y, pixels.rgb.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(pixels.width) +
                                            static_cast<std::size_t>(x)) * 3);
}

}  // namespace fake

namespace platform {

namespace {

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

}  // namespace

// Clips `wanted` to the scripted screen and copies the scripted pixels under
// it; the captured area is the pixel-aligned part of the screen that covers it.
CaptureError captureScreen(const Rect& wanted, Rect& captured, Bitmap& image, double& scale) {
    const fake::CaptureState& s = fake::desktop().capture;
    fake::record("capture " + number(wanted.origin.x) + " " + number(wanted.origin.y) + " " +
                 number(wanted.size.width) + " " + number(wanted.size.height));
    captured = Rect{};
    image = Bitmap{};
    scale = s.scale;
    if (s.error != CaptureError::none) return s.error;
    Rect part = capture::intersect(wanted, s.screen);
    if (!capture::nonEmpty(part)) return CaptureError::none;

    // The screen pixels the part touches, whole pixels only.
    auto toPixel = [&](double points, double origin, std::int32_t limit, bool up) {
        double p = (points - origin) * s.scale;
        double edge = up ? std::ceil(p - 1e-9) : std::floor(p + 1e-9);
        return static_cast<std::int32_t>(std::clamp(edge, 0.0, static_cast<double>(limit)));
    };
    std::int32_t left = toPixel(part.origin.x, s.screen.origin.x, s.pixels.width, false);
    std::int32_t top = toPixel(part.origin.y, s.screen.origin.y, s.pixels.height, false);
    std::int32_t right = toPixel(part.origin.x + part.size.width, s.screen.origin.x, s.pixels.width, true);
    std::int32_t bottom = toPixel(part.origin.y + part.size.height, s.screen.origin.y, s.pixels.height, true);
    if (right <= left || bottom <= top) return CaptureError::none;

    image.width = right - left;
    image.height = bottom - top;
    image.rgb.reserve(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 3);
    for (std::int32_t y = top; y < bottom; ++y) {
        auto row = s.pixels.rgb.begin() +
                   static_cast<std::ptrdiff_t>((static_cast<std::size_t>(y) * static_cast<std::size_t>(s.pixels.width) +
                                                static_cast<std::size_t>(left)) * 3);
        image.rgb.insert(image.rgb.end(), row, row + static_cast<std::ptrdiff_t>(image.width) * 3);
    }
    captured = {{s.screen.origin.x + left / s.scale, s.screen.origin.y + top / s.scale},
                {image.width / s.scale, image.height / s.scale}};
    return CaptureError::none;
}

}  // namespace platform
