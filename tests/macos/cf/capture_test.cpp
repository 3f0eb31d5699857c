// The macOS capture's arithmetic: which display a region is taken from, the
// display-local source rectangle, pixel sizes and the pixel layout.
#include "platform/macos/capture_geometry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using platform::mac::displayLocal;
using platform::mac::intersectRects;
using platform::mac::largestPart;
using platform::mac::pixelsFor;
using platform::mac::rgbxToRgb;

CGRect rect(double x, double y, double w, double h) { return CGRect{{x, y}, {w, h}}; }

void expectRect(const CGRect& r, double x, double y, double w, double h) {
    EXPECT_DOUBLE_EQ(r.origin.x, x);
    EXPECT_DOUBLE_EQ(r.origin.y, y);
    EXPECT_DOUBLE_EQ(r.size.width, w);
    EXPECT_DOUBLE_EQ(r.size.height, h);
}

TEST(CaptureGeometry, IntersectionIsTheCommonArea) {
    expectRect(intersectRects(rect(10, 20, 100, 50), rect(50, 0, 200, 40)), 50, 20, 60, 20);
    // Touching edges share no area, nor do disjoint rectangles.
    expectRect(intersectRects(rect(0, 0, 10, 10), rect(10, 0, 10, 10)), 0, 0, 0, 0);
    expectRect(intersectRects(rect(0, 0, 10, 10), rect(30, 30, 10, 10)), 0, 0, 0, 0);
}

TEST(CaptureGeometry, TheDisplayHoldingMostOfTheRegionIsChosen) {
    // The main display, and a second one to its left (negative x).
    const CGRect displays[] = {rect(0, 0, 1440, 900), rect(-1920, -180, 1920, 1080)};
    CGRect part;
    // 100 points on the second display, 300 on the main one.
    EXPECT_EQ(largestPart(rect(-100, 100, 400, 200), displays, 2, part), 0);
    expectRect(part, 0, 100, 300, 200);
    // 300 on the second display, 100 on the main one.
    EXPECT_EQ(largestPart(rect(-300, 100, 400, 200), displays, 2, part), 1);
    expectRect(part, -300, 100, 300, 200);
    expectRect(displayLocal(part, displays[1]), 1620, 280, 300, 200);
    // Partly off every display: only the part on the display is taken.
    EXPECT_EQ(largestPart(rect(1400, 850, 500, 500), displays, 2, part), 0);
    expectRect(part, 1400, 850, 40, 50);
}

TEST(CaptureGeometry, ARegionOnNoDisplayHasNoPart) {
    const CGRect displays[] = {rect(0, 0, 1440, 900)};
    CGRect part = rect(1, 2, 3, 4);
    EXPECT_EQ(largestPart(rect(2000, 0, 100, 100), displays, 1, part), -1);
    expectRect(part, 0, 0, 0, 0);
    EXPECT_EQ(largestPart(rect(0, 0, 100, 100), displays, 0, part), -1);
}

TEST(CaptureGeometry, PixelSizesRoundToTheNearest) {
    EXPECT_EQ(pixelsFor(300, 2), 600u);
    EXPECT_EQ(pixelsFor(100.3, 2), 201u);
    EXPECT_EQ(pixelsFor(100.2, 1), 100u);
    EXPECT_EQ(pixelsFor(0.2, 1), 0u);
}

TEST(CaptureGeometry, RgbxBecomesRgb) {
    const std::vector<std::uint8_t> rgbx = {1, 2, 3, 255, 4, 5, 6, 0, 7, 8, 9, 128};
    std::vector<std::uint8_t> rgb(9, 0xEE);
    rgbxToRgb(rgbx.data(), 3, rgb.data());
    EXPECT_EQ(rgb, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

}  // namespace
