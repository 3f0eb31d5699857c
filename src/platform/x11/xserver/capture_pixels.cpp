#include "platform/x11/xserver/capture_pixels.h"

#include <array>
#include <bit>

namespace platform::x11 {
namespace {

// One colour channel of a pixel value: where its bits are, and how a value of
// that many bits becomes 8.
struct Channel {
    int shift = 0;
    int bits = 0;
    std::uint32_t max = 0;                // the channel's largest value
    std::array<std::uint8_t, 256> lut{};  // value -> 0..255, for up to 8 bits

    explicit Channel(std::uint32_t mask)
        : shift(std::countr_zero(mask)), bits(std::popcount(mask)), max(mask >> shift) {
        if (bits <= 8)
            for (std::uint32_t v = 0; v <= max; ++v) lut[v] = static_cast<std::uint8_t>((v * 255 + max / 2) / max);
    }

    std::uint8_t operator()(std::uint32_t pixel) const {
        std::uint32_t v = (pixel >> shift) & max;
        return bits <= 8 ? lut[v] : static_cast<std::uint8_t>(v >> (bits - 8));
    }
};

bool isRun(std::uint32_t mask) {
    if (mask == 0) return false;
    std::uint32_t low = mask >> std::countr_zero(mask);
    return (low & (low + 1)) == 0;  // ones only, from bit 0 up
}

// The pixel value at `p`, of `Bytes` bytes in the given byte order.
template <int Bytes, bool Msb>
std::uint32_t load(const std::uint8_t* p) {
    std::uint32_t v = 0;
    for (int i = 0; i < Bytes; ++i) {
        int at = Msb ? i : Bytes - 1 - i;
        v = (v << 8) | p[at];
    }
    return v;
}

template <int Bytes, bool Msb>
void convertRows(const std::uint8_t* data, int width, int height, std::size_t bytesPerLine, const Channel& r,
                 const Channel& g, const Channel& b, std::uint8_t* out) {
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* p = data + bytesPerLine * static_cast<std::size_t>(y);
        for (int x = 0; x < width; ++x, p += Bytes, out += 3) {
            std::uint32_t pixel = load<Bytes, Msb>(p);
            out[0] = r(pixel);
            out[1] = g(pixel);
            out[2] = b(pixel);
        }
    }
}

// The common case (depth 24 in 32 bits, 8 bits a colour on byte boundaries):
// a byte shuffle. `ri`, `gi`, `bi` are the colours' byte offsets in a pixel.
void shuffleRows(const std::uint8_t* data, int width, int height, std::size_t bytesPerLine, int ri, int gi, int bi,
                 std::uint8_t* out) {
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* p = data + bytesPerLine * static_cast<std::size_t>(y);
        for (int x = 0; x < width; ++x, p += 4, out += 3) {
            out[0] = p[ri];
            out[1] = p[gi];
            out[2] = p[bi];
        }
    }
}

// The byte of a 32-bit pixel that holds exactly `mask`, or -1.
int byteOf(std::uint32_t mask, bool msbFirst) {
    for (int i = 0; i < 4; ++i)
        if (mask == 0xffu << (8 * i)) return msbFirst ? 3 - i : i;
    return -1;
}

}  // namespace

bool convertible(const PixelLayout& layout) {
    if (layout.bitsPerPixel != 16 && layout.bitsPerPixel != 24 && layout.bitsPerPixel != 32) return false;
    std::uint32_t room = layout.bitsPerPixel == 32 ? 0xffffffffu : (1u << layout.bitsPerPixel) - 1;
    for (std::uint32_t mask : {layout.redMask, layout.greenMask, layout.blueMask})
        if (!isRun(mask) || (mask & ~room) != 0) return false;
    return true;
}

bool convertToRgb(const std::uint8_t* data, int width, int height, std::size_t bytesPerLine,
                  const PixelLayout& layout, std::uint8_t* rgb) {
    if (!convertible(layout) || width < 0 || height < 0) return false;
    if (width == 0 || height == 0) return true;
    if (layout.bitsPerPixel == 32) {
        int ri = byteOf(layout.redMask, layout.msbFirst), gi = byteOf(layout.greenMask, layout.msbFirst),
            bi = byteOf(layout.blueMask, layout.msbFirst);
        if (ri >= 0 && gi >= 0 && bi >= 0) {
            shuffleRows(data, width, height, bytesPerLine, ri, gi, bi, rgb);
            return true;
        }
    }
    const Channel r(layout.redMask), g(layout.greenMask), b(layout.blueMask);
    switch (layout.bitsPerPixel * (layout.msbFirst ? -1 : 1)) {
    case 16: convertRows<2, false>(data, width, height, bytesPerLine, r, g, b, rgb); break;
    case -16: convertRows<2, true>(data, width, height, bytesPerLine, r, g, b, rgb); break;
    case 24: convertRows<3, false>(data, width, height, bytesPerLine, r, g, b, rgb); break;
    case -24: convertRows<3, true>(data, width, height, bytesPerLine, r, g, b, rgb); break;
    case 32: convertRows<4, false>(data, width, height, bytesPerLine, r, g, b, rgb); break;
    default: convertRows<4, true>(data, width, height, bytesPerLine, r, g, b, rgb); break;
    }
    return true;
}

}  // namespace platform::x11
