#include "capture/scaling.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace capture {
namespace {

bool finite(const platform::Rect& r) {
    return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
           std::isfinite(r.size.height);
}

// One source pixel's share of an output pixel along one axis.
struct Tap {
    std::int32_t source;
    std::uint64_t weight;
};

// Output pixel o of m covers the source interval [o * n / m, (o + 1) * n / m)
// of a line of n pixels. Measured in units of 1 / m source pixel, it is
// [o * n, (o + 1) * n) and source pixel s is [s * m, (s + 1) * m): the weights
// are whole numbers and add up to n for every output pixel.
std::vector<std::vector<Tap>> taps(std::int32_t n, std::int32_t m) {
    std::vector<std::vector<Tap>> out(static_cast<std::size_t>(m));
    const auto N = static_cast<std::int64_t>(n);
    const auto M = static_cast<std::int64_t>(m);
    for (std::int64_t o = 0; o < M; ++o) {
        const std::int64_t begin = o * N, end = (o + 1) * N;
        for (std::int64_t s = begin / M; s < N && s * M < end; ++s) {
            const std::int64_t overlap = std::min(end, (s + 1) * M) - std::max(begin, s * M);
            if (overlap > 0)
                out[static_cast<std::size_t>(o)].push_back(
                    {static_cast<std::int32_t>(s), static_cast<std::uint64_t>(overlap)});
        }
    }
    return out;
}

}  // namespace

bool nonEmpty(const platform::Rect& r) { return finite(r) && r.size.width > 0 && r.size.height > 0; }

platform::Rect intersect(const platform::Rect& a, const platform::Rect& b) {
    platform::Rect empty{a.origin, {0, 0}};
    if (!nonEmpty(a) || !nonEmpty(b)) return empty;
    const double left = std::max(a.origin.x, b.origin.x);
    const double top = std::max(a.origin.y, b.origin.y);
    const double right = std::min(a.origin.x + a.size.width, b.origin.x + b.size.width);
    const double bottom = std::min(a.origin.y + a.size.height, b.origin.y + b.size.height);
    if (!(right > left && bottom > top)) return empty;
    return {{left, top}, {right - left, bottom - top}};
}

Dimensions reducedSize(std::int32_t width, std::int32_t height, std::int32_t maxWidth) {
    maxWidth = std::max<std::int32_t>(maxWidth, 1);
    if (width <= maxWidth) return {width, height};
    // height * maxWidth / width, rounded half up, in exact integers.
    const auto h = static_cast<std::int64_t>(height), w = static_cast<std::int64_t>(width);
    const std::int64_t rounded = (2 * h * maxWidth + w) / (2 * w);
    return {maxWidth, static_cast<std::int32_t>(std::max<std::int64_t>(rounded, 1))};
}

platform::Bitmap resample(const platform::Bitmap& image, Dimensions size) {
    const auto w = static_cast<std::size_t>(std::max(image.width, 0));
    const auto h = static_cast<std::size_t>(std::max(image.height, 0));
    if (w == 0 || h == 0 || size.width <= 0 || size.height <= 0 || image.rgb.size() != w * h * 3) return {};
    if (size.width == image.width && size.height == image.height) return image;

    const auto columns = taps(image.width, size.width);
    const auto rows = taps(image.height, size.height);
    const auto outWidth = static_cast<std::size_t>(size.width);
    platform::Bitmap out{size.width, size.height, std::vector<std::uint8_t>(outWidth * rows.size() * 3)};

    // Per output row: the source rows filtered across (sums weighted by up to
    // w in total), added up weighted down (up to h in total), then divided by
    // w * h with rounding.
    const std::uint64_t total = static_cast<std::uint64_t>(w) * h;
    std::vector<std::uint64_t> sum(outWidth * 3);
    for (std::size_t oy = 0; oy < rows.size(); ++oy) {
        std::fill(sum.begin(), sum.end(), 0);
        for (const Tap& row : rows[oy]) {
            const std::uint8_t* line = image.rgb.data() + static_cast<std::size_t>(row.source) * w * 3;
            for (std::size_t ox = 0; ox < outWidth; ++ox) {
                std::uint64_t r = 0, g = 0, b = 0;
                for (const Tap& column : columns[ox]) {
                    const std::uint8_t* p = line + static_cast<std::size_t>(column.source) * 3;
                    r += p[0] * column.weight;
                    g += p[1] * column.weight;
                    b += p[2] * column.weight;
                }
                sum[ox * 3] += r * row.weight;
                sum[ox * 3 + 1] += g * row.weight;
                sum[ox * 3 + 2] += b * row.weight;
            }
        }
        std::uint8_t* target = out.rgb.data() + oy * outWidth * 3;
        for (std::size_t i = 0; i < outWidth * 3; ++i)
            target[i] = static_cast<std::uint8_t>((sum[i] + total / 2) / total);
    }
    return out;
}

}  // namespace capture
