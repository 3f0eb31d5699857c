#include <cmath>

#include "apps/windows.h"
#include "capture/base64.h"
#include "capture/scaling.h"
#include "channel/failure.h"
#include "dispatch/arguments.h"
#include "dispatch/operations.h"
#include "platform/platform.h"

namespace dispatch::ops {
namespace {

[[noreturn]] void emptyRegion() { throw channel::Failure{"Empty region", "bad_args"}; }
[[noreturn]] void captureFailed() { throw channel::Failure{"Could not capture the screen", "capture_failed"}; }

// The value under `key`, with a JSON null read as absent.
const json* given(const json& request, std::string_view key) {
    const json* v = arg(request, key);
    return v && !v->is_null() ? v : nullptr;
}

// A finite number of the region, or "Missing region" when absent or not a number.
double regionNumber(const json& request, const char* key) {
    auto v = num(given(request, key));
    if (!v) throw channel::Failure{"Missing region", "bad_args"};
    if (!std::isfinite(*v)) throw channel::Failure{"Number out of range for \"" + std::string(key) + "\"", "bad_args"};
    return *v;
}

// The bounds of the on-screen window (any layer) numbered `id`.
platform::Rect windowBounds(std::int64_t id) {
    for (const json& w : ::apps::windowList(false)) {
        if (w["id"].get<std::int64_t>() != id) continue;
        const json& b = w["bounds"];
        return {{b["x"].get<double>(), b["y"].get<double>()}, {b["w"].get<double>(), b["h"].get<double>()}};
    }
    throw channel::Failure{"No such window", "bad_args"};
}

// The area the request asks for, in global points: the window's bounds, the
// region, or the main display.
platform::Rect wanted(const json& request) {
    if (const json* id = given(request, "windowId")) {
        auto number = num(id);
        if (!number) throw channel::Failure{"No such window", "bad_args"};
        return windowBounds(toInt64(*number, "windowId"));
    }
    constexpr const char* kRegion[] = {"x", "y", "w", "h"};
    bool anyRegion = false;
    for (const char* key : kRegion) anyRegion = anyRegion || given(request, key);
    if (anyRegion) {
        platform::Rect r{{regionNumber(request, "x"), regionNumber(request, "y")},
                         {regionNumber(request, "w"), regionNumber(request, "h")}};
        if (!(r.size.width > 0 && r.size.height > 0)) emptyRegion();
        return r;
    }
    platform::Rect display = platform::cgDisplayBounds(platform::cgMainDisplayID());
    // No main display to speak of: nothing can be captured.
    if (!capture::nonEmpty(display)) captureFailed();
    return display;
}

}  // namespace

json screenshot(const json& request) {
    // A largest width: a whole number of pixels, at least 1.
    std::optional<std::int32_t> maxWidth;
    if (const json* m = given(request, "maxWidth")) {
        auto v = num(m);
        std::int32_t width = v ? toInt32(*v, "maxWidth") : 0;
        if (width < 1) throw channel::Failure{"Number out of range for \"maxWidth\"", "bad_args"};
        maxWidth = width;
    }

    platform::Rect area = wanted(request);
    if (!capture::nonEmpty(area)) emptyRegion();

    platform::Rect captured;
    platform::Bitmap image;
    double scale = 1;
    switch (platform::captureScreen(area, captured, image, scale)) {
    case platform::CaptureError::none: break;
    case platform::CaptureError::notAllowed:
        throw channel::Failure{"Screen recording is not allowed", "no_permission"};
    case platform::CaptureError::noDisplay:
    case platform::CaptureError::failed: captureFailed();
    }
    if (!capture::nonEmpty(captured)) emptyRegion();
    if (image.width <= 0 || image.height <= 0 ||
        image.rgb.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 3)
        captureFailed();

    if (maxWidth && image.width > *maxWidth)
        image = capture::resample(image, capture::reducedSize(image.width, image.height, *maxWidth));
    std::string png = platform::encodePng(image);
    if (png.empty()) captureFailed();

    return {{"png", capture::base64(png)},
            {"width", image.width},
            {"height", image.height},
            {"x", captured.origin.x},
            {"y", captured.origin.y},
            {"w", captured.size.width},
            {"h", captured.size.height},
            {"scale", image.width / captured.size.width}};
}

}  // namespace dispatch::ops
