// Turning the pixels of an X image (ZPixmap of a TrueColor visual) into 8-bit
// RGB. Pure: no X connection, so the unit tests can feed it every layout.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::x11 {

// How an image's pixels are stored: 16, 24 or 32 bits per pixel, in the
// image's byte order (X's LSBFirst or MSBFirst), each colour a run of set bits
// of the pixel value (the visual's masks: 0xff0000 / 0xff00 / 0xff for the
// usual depth 24, 0x3ff00000 / 0xffc00 / 0x3ff for depth 30, 0xf800 / 0x7e0 /
// 0x1f for depth 16).
struct PixelLayout {
    int bitsPerPixel = 32;
    bool msbFirst = false;
    std::uint32_t redMask = 0xff0000;
    std::uint32_t greenMask = 0xff00;
    std::uint32_t blueMask = 0xff;
};

// Whether `layout` can be converted: a supported pixel size, and three masks
// that are each one non-empty run of bits within the pixel.
bool convertible(const PixelLayout& layout);

// Writes `width` x `height` pixels of `data` (rows `bytesPerLine` apart) to
// `rgb` as three bytes per pixel, rows packed. A colour of fewer than 8 bits
// is scaled up to the full 0-255 range, one of more keeps its top 8 bits.
// False (and nothing written) when the layout is not convertible.
bool convertToRgb(const std::uint8_t* data, int width, int height, std::size_t bytesPerLine,
                  const PixelLayout& layout, std::uint8_t* rgb);

}  // namespace platform::x11
