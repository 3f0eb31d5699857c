// X image pixels to RGB: pixel sizes, byte orders, colour masks and row
// padding, with pixels written byte by byte as a server would send them.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/x11/xserver/capture_pixels.h"

namespace {

using platform::x11::convertible;
using platform::x11::convertToRgb;
using platform::x11::PixelLayout;
using Bytes = std::vector<std::uint8_t>;

PixelLayout layout(int bpp, bool msb, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    PixelLayout l;
    l.bitsPerPixel = bpp;
    l.msbFirst = msb;
    l.redMask = r;
    l.greenMask = g;
    l.blueMask = b;
    return l;
}

Bytes convert(const Bytes& data, int width, int height, std::size_t bytesPerLine, const PixelLayout& l) {
    Bytes out(static_cast<std::size_t>(width * height * 3), 0xee);
    EXPECT_TRUE(convertToRgb(data.data(), width, height, bytesPerLine, l, out.data()));
    return out;
}

TEST(CapturePixels, Depth24In32BitsLeastSignificantByteFirst) {
    // The usual little-endian server: B G R pad.
    Bytes data = {0x30, 0x20, 0x10, 0x00, 0xff, 0x00, 0x80, 0x7f};
    EXPECT_EQ(convert(data, 2, 1, 8, layout(32, false, 0xff0000, 0xff00, 0xff)),
              (Bytes{0x10, 0x20, 0x30, 0x80, 0x00, 0xff}));
}

TEST(CapturePixels, Depth24In32BitsMostSignificantByteFirst) {
    // A big-endian server: pad R G B.
    Bytes data = {0x00, 0x10, 0x20, 0x30, 0x7f, 0x80, 0x00, 0xff};
    EXPECT_EQ(convert(data, 2, 1, 8, layout(32, true, 0xff0000, 0xff00, 0xff)),
              (Bytes{0x10, 0x20, 0x30, 0x80, 0x00, 0xff}));
}

TEST(CapturePixels, SwappedMasksInBothByteOrders) {
    // A visual with red in the low byte: R G B pad when LSB first.
    PixelLayout bgr = layout(32, false, 0xff, 0xff00, 0xff0000);
    EXPECT_EQ(convert({0x10, 0x20, 0x30, 0x99}, 1, 1, 4, bgr), (Bytes{0x10, 0x20, 0x30}));
    bgr.msbFirst = true;
    EXPECT_EQ(convert({0x99, 0x30, 0x20, 0x10}, 1, 1, 4, bgr), (Bytes{0x10, 0x20, 0x30}));
    // Colours in the top three bytes (pad in the low one).
    PixelLayout high = layout(32, false, 0xff000000, 0xff0000, 0xff00);
    EXPECT_EQ(convert({0x99, 0x30, 0x20, 0x10}, 1, 1, 4, high), (Bytes{0x10, 0x20, 0x30}));
    high.msbFirst = true;
    EXPECT_EQ(convert({0x10, 0x20, 0x30, 0x99}, 1, 1, 4, high), (Bytes{0x10, 0x20, 0x30}));
}

TEST(CapturePixels, PackedTwentyFourBitPixels) {
    Bytes lsb = {0x30, 0x20, 0x10, 0x03, 0x02, 0x01};
    EXPECT_EQ(convert(lsb, 2, 1, 6, layout(24, false, 0xff0000, 0xff00, 0xff)),
              (Bytes{0x10, 0x20, 0x30, 0x01, 0x02, 0x03}));
    Bytes msb = {0x10, 0x20, 0x30, 0x01, 0x02, 0x03};
    EXPECT_EQ(convert(msb, 2, 1, 6, layout(24, true, 0xff0000, 0xff00, 0xff)),
              (Bytes{0x10, 0x20, 0x30, 0x01, 0x02, 0x03}));
    EXPECT_EQ(convert(msb, 2, 1, 6, layout(24, true, 0xff, 0xff00, 0xff0000)),
              (Bytes{0x30, 0x20, 0x10, 0x03, 0x02, 0x01}));
}

TEST(CapturePixels, TenBitColoursKeepTheirTopEightBits) {
    // Depth 30: 2:10:10:10. Red 0x3ff, green 0x200, blue 0x0ff.
    std::uint32_t pixel = (0x3ffu << 20) | (0x200u << 10) | 0x0ffu;
    Bytes lsb = {static_cast<std::uint8_t>(pixel), static_cast<std::uint8_t>(pixel >> 8),
                 static_cast<std::uint8_t>(pixel >> 16), static_cast<std::uint8_t>(pixel >> 24)};
    PixelLayout deep = layout(32, false, 0x3ff00000, 0xffc00, 0x3ff);
    EXPECT_EQ(convert(lsb, 1, 1, 4, deep), (Bytes{0xff, 0x80, 0x3f}));
    Bytes msb(lsb.rbegin(), lsb.rend());
    deep.msbFirst = true;
    EXPECT_EQ(convert(msb, 1, 1, 4, deep), (Bytes{0xff, 0x80, 0x3f}));
}

TEST(CapturePixels, SixteenBitColoursStretchToTheFullRange) {
    // 5:6:5. Pixel 1: full red, no green, half blue (16 of 31);
    // pixel 2: no red, full green (63), blue 1.
    std::uint16_t p1 = (31u << 11) | (0u << 5) | 16u, p2 = (0u << 11) | (63u << 5) | 1u;
    PixelLayout l = layout(16, false, 0xf800, 0x07e0, 0x001f);
    Bytes lsb = {static_cast<std::uint8_t>(p1), static_cast<std::uint8_t>(p1 >> 8), static_cast<std::uint8_t>(p2),
                 static_cast<std::uint8_t>(p2 >> 8)};
    // 16 * 255 / 31 = 131.6 and 255 / 31 = 8.2, rounded.
    Bytes expected = {255, 0, 132, 0, 255, 8};
    EXPECT_EQ(convert(lsb, 2, 1, 4, l), expected);
    Bytes msb = {lsb[1], lsb[0], lsb[3], lsb[2]};
    l.msbFirst = true;
    EXPECT_EQ(convert(msb, 2, 1, 4, l), expected);
}

TEST(CapturePixels, EveryByteValueOfEachColourSurvivesBothPaths) {
    // The byte shuffle (8-bit masks on byte boundaries) and the general path
    // (the same colours packed in 24 bits) agree with the value written.
    for (bool msb : {false, true}) {
        Bytes d32, d24;
        for (int v = 0; v < 256; ++v) {
            std::uint32_t pixel = (static_cast<std::uint32_t>(v) << 16) | (static_cast<std::uint32_t>(255 - v) << 8) |
                                  static_cast<std::uint32_t>(v ^ 0x5a);
            for (int i = 0; i < 4; ++i) d32.push_back(static_cast<std::uint8_t>(pixel >> (8 * (msb ? 3 - i : i))));
            for (int i = 0; i < 3; ++i) d24.push_back(static_cast<std::uint8_t>(pixel >> (8 * (msb ? 2 - i : i))));
        }
        Bytes expected;
        for (int v = 0; v < 256; ++v)
            expected.insert(expected.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(255 - v),
                                             static_cast<std::uint8_t>(v ^ 0x5a)});
        EXPECT_EQ(convert(d32, 256, 1, 1024, layout(32, msb, 0xff0000, 0xff00, 0xff)), expected) << msb;
        EXPECT_EQ(convert(d24, 256, 1, 768, layout(24, msb, 0xff0000, 0xff00, 0xff)), expected) << msb;
    }
}

TEST(CapturePixels, RowPaddingIsSkipped) {
    // Two rows of one 24-bit pixel, each row padded to 8 bytes with junk.
    Bytes data = {0x03, 0x02, 0x01, 0xaa, 0xaa, 0xaa, 0xaa, 0xaa, 0x06, 0x05, 0x04, 0xbb, 0xbb, 0xbb, 0xbb, 0xbb};
    EXPECT_EQ(convert(data, 1, 2, 8, layout(24, false, 0xff0000, 0xff00, 0xff)),
              (Bytes{0x01, 0x02, 0x03, 0x04, 0x05, 0x06}));
    Bytes data32 = {0x03, 0x02, 0x01, 0x00, 0xaa, 0xaa, 0xaa, 0xaa, 0x06, 0x05, 0x04, 0x00, 0xbb, 0xbb, 0xbb, 0xbb};
    EXPECT_EQ(convert(data32, 1, 2, 8, layout(32, false, 0xff0000, 0xff00, 0xff)),
              (Bytes{0x01, 0x02, 0x03, 0x04, 0x05, 0x06}));
}

TEST(CapturePixels, LayoutsThatCannotBeReadAreRefusedWithoutWriting) {
    for (const PixelLayout& l : {layout(8, false, 0xe0, 0x1c, 0x03), layout(1, false, 1, 1, 1),
                                 layout(32, false, 0, 0xff00, 0xff), layout(32, false, 0xf0f000, 0xff00, 0xff),
                                 layout(24, false, 0xff000000, 0xff0000, 0xff00), layout(16, false, 0xff0000, 0xff00, 0xff)}) {
        EXPECT_FALSE(convertible(l)) << l.bitsPerPixel;
        Bytes data(16, 0x11), out(6, 0xee);
        EXPECT_FALSE(convertToRgb(data.data(), 2, 1, 8, l, out.data()));
        EXPECT_EQ(out, Bytes(6, 0xee));
    }
    EXPECT_TRUE(convertible(layout(32, true, 0x3ff00000, 0xffc00, 0x3ff)));
    EXPECT_TRUE(convertible(layout(16, false, 0xf800, 0x07e0, 0x001f)));
}

}  // namespace
