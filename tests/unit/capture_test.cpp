// The pure parts of the screenshot operation: base64, clipping, the reduced
// size and the area-averaging resampler.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "capture/base64.h"
#include "capture/scaling.h"

namespace {

using ::testing::ElementsAre;
using platform::Bitmap;
using platform::Rect;

TEST(Base64, KnownVectors) {
    EXPECT_EQ(capture::base64(""), "");
    EXPECT_EQ(capture::base64("f"), "Zg==");
    EXPECT_EQ(capture::base64("fo"), "Zm8=");
    EXPECT_EQ(capture::base64("foo"), "Zm9v");
    EXPECT_EQ(capture::base64("foob"), "Zm9vYg==");
    EXPECT_EQ(capture::base64("fooba"), "Zm9vYmE=");
    EXPECT_EQ(capture::base64("foobar"), "Zm9vYmFy");
}

TEST(Base64, EveryByteValueAndTheLastTwoLetters) {
    EXPECT_EQ(capture::base64(std::string("\xfb\xff", 2)), "+/8=");
    EXPECT_EQ(capture::base64(std::string("\xff\xfe\x00", 3)), "//4A");
    EXPECT_EQ(capture::base64(std::string("\x00\x00\x00\x00", 4)), "AAAAAA==");
    EXPECT_EQ(capture::base64("\x89PNG\r\n\x1a\n"), "iVBORw0KGgo=");
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    std::string encoded = capture::base64(all);
    EXPECT_EQ(encoded.size(), 344u);
    EXPECT_EQ(encoded.substr(0, 8), "AAECAwQF");
    EXPECT_EQ(encoded.substr(336), "/P3+/w==");
    EXPECT_EQ(encoded.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
              std::string::npos);
}

bool same(const Rect& a, const Rect& b) {
    return a.origin.x == b.origin.x && a.origin.y == b.origin.y && a.size.width == b.size.width &&
           a.size.height == b.size.height;
}

TEST(Clip, IntersectionOfTwoRectangles) {
    Rect screen{{0, 0}, {1280, 1024}};
    EXPECT_TRUE(same(capture::intersect({{10, 20}, {30, 40}}, screen), {{10, 20}, {30, 40}}));
    EXPECT_TRUE(same(capture::intersect({{-10, 1000}, {30, 40}}, screen), {{0, 1000}, {20, 24}}));
    EXPECT_TRUE(same(capture::intersect({{-100, -100}, {2000, 2000}}, screen), screen));
    EXPECT_TRUE(same(capture::intersect({{1.5, 2.5}, {1, 1}}, {{2, 2}, {5, 5}}), {{2, 2.5}, {0.5, 1}}));
    // Touching edges, disjoint, and empty rectangles share nothing.
    EXPECT_FALSE(capture::nonEmpty(capture::intersect({{1280, 0}, {10, 10}}, screen)));
    EXPECT_FALSE(capture::nonEmpty(capture::intersect({{-20, -20}, {20, 20}}, screen)));
    EXPECT_FALSE(capture::nonEmpty(capture::intersect({{5, 5}, {0, 10}}, screen)));
    EXPECT_FALSE(capture::nonEmpty(capture::intersect({{5, 5}, {10, 10}}, {{0, 0}, {-5, 100}})));
}

TEST(Clip, NonEmptyNeedsPositiveFiniteSizes) {
    EXPECT_TRUE(capture::nonEmpty({{-5, -5}, {0.5, 1}}));
    EXPECT_FALSE(capture::nonEmpty({{0, 0}, {0, 1}}));
    EXPECT_FALSE(capture::nonEmpty({{0, 0}, {1, -1}}));
    EXPECT_FALSE(capture::nonEmpty({{0, 0}, {1.0 / 0.0, 1}}));
    EXPECT_FALSE(capture::nonEmpty({{std::nan(""), 0}, {1, 1}}));
}

TEST(ReducedSize, KeepsTheAspectRatioRoundingTheHeight) {
    auto size = [](std::int32_t w, std::int32_t h, std::int32_t m) {
        auto d = capture::reducedSize(w, h, m);
        return std::pair{d.width, d.height};
    };
    EXPECT_EQ(size(2560, 1600, 1280), std::pair(1280, 800));
    EXPECT_EQ(size(1280, 1024, 640), std::pair(640, 512));
    EXPECT_EQ(size(1000, 333, 500), std::pair(500, 167));  // 166.5 rounds up
    EXPECT_EQ(size(4, 1, 2), std::pair(2, 1));             // 0.5 rounds up
    EXPECT_EQ(size(4, 3, 2), std::pair(2, 2));             // 1.5 rounds up
    EXPECT_EQ(size(7, 5, 3), std::pair(3, 2));             // 2.14
    EXPECT_EQ(size(3, 2, 2), std::pair(2, 1));             // 1.33
    EXPECT_EQ(size(100, 1, 10), std::pair(10, 1));         // 0.1: at least one row
    EXPECT_EQ(size(3000, 2000, 1), std::pair(1, 1));
}

TEST(ReducedSize, NeverScalesUp) {
    EXPECT_EQ(capture::reducedSize(1280, 1024, 1280).width, 1280);
    EXPECT_EQ(capture::reducedSize(1280, 1024, 1280).height, 1024);
    EXPECT_EQ(capture::reducedSize(640, 480, 2000).width, 640);
    EXPECT_EQ(capture::reducedSize(640, 480, 2000).height, 480);
    EXPECT_EQ(capture::reducedSize(5, 4, 0).width, 1);  // a width below 1 counts as 1
}

// A bitmap of one colour channel per pixel, given as red values (green and blue 0).
Bitmap reds(std::int32_t w, std::int32_t h, std::initializer_list<int> values) {
    Bitmap b{w, h, {}};
    for (int v : values) b.rgb.insert(b.rgb.end(), {static_cast<std::uint8_t>(v), 0, 0});
    return b;
}

std::vector<int> redsOf(const Bitmap& b) {
    std::vector<int> out;
    for (std::size_t i = 0; i < b.rgb.size(); i += 3) out.push_back(b.rgb[i]);
    return out;
}

TEST(Resample, WholeBlocksAreAveraged) {
    Bitmap image = reds(4, 2, {10, 20, 30, 40, 50, 60, 70, 81});
    Bitmap out = capture::resample(image, {2, 1});
    EXPECT_EQ(out.width, 2);
    EXPECT_EQ(out.height, 1);
    EXPECT_THAT(redsOf(out), ElementsAre(35, 55));  // 140 / 4 and 221 / 4 = 55.25
}

TEST(Resample, PartlyCoveredPixelsCountByTheirShare) {
    // Three pixels into two: each output covers one and a half source pixels.
    EXPECT_THAT(redsOf(capture::resample(reds(3, 1, {0, 90, 255}), {2, 1})), ElementsAre(30, 200));
    // 2/3 rounds to 1 on both sides.
    EXPECT_THAT(redsOf(capture::resample(reds(3, 1, {0, 2, 0}), {2, 1})), ElementsAre(1, 1));
    // The centre of 3x3 contributes a quarter of itself to each of 2x2 outputs
    // of area 2.25 source pixels: 255 / 9 = 28.3.
    EXPECT_THAT(redsOf(capture::resample(reds(3, 3, {0, 0, 0, 0, 255, 0, 0, 0, 0}), {2, 2})),
                ElementsAre(28, 28, 28, 28));
    // Downwards alone: rows 0..2 into 2 rows.
    EXPECT_THAT(redsOf(capture::resample(reds(1, 3, {0, 90, 255}), {1, 2})), ElementsAre(30, 200));
}

TEST(Resample, ChannelsStaySeparate) {
    Bitmap image{2, 1, {255, 0, 10, 0, 255, 20}};
    Bitmap out = capture::resample(image, {1, 1});
    EXPECT_THAT(out.rgb, ElementsAre(128, 128, 15));  // 127.5 rounds up
}

TEST(Resample, AFlatImageStaysFlat) {
    Bitmap image{1280, 1024, {}};
    for (int i = 0; i < 1280 * 1024; ++i) image.rgb.insert(image.rgb.end(), {7, 200, 255});
    Bitmap out = capture::resample(image, capture::reducedSize(1280, 1024, 333));
    ASSERT_EQ(out.width, 333);
    ASSERT_EQ(out.height, 266);  // 266.4
    ASSERT_EQ(out.rgb.size(), 333u * 266u * 3u);
    for (std::size_t i = 0; i < out.rgb.size(); i += 3) {
        ASSERT_EQ(out.rgb[i], 7) << i;
        ASSERT_EQ(out.rgb[i + 1], 200) << i;
        ASSERT_EQ(out.rgb[i + 2], 255) << i;
    }
}

TEST(Resample, SameSizeCopiesAndNonsenseGivesNothing) {
    Bitmap image = reds(2, 2, {1, 2, 3, 4});
    Bitmap same = capture::resample(image, {2, 2});
    EXPECT_EQ(same.width, 2);
    EXPECT_EQ(same.height, 2);
    EXPECT_EQ(same.rgb, image.rgb);
    EXPECT_TRUE(capture::resample(image, {0, 1}).rgb.empty());
    EXPECT_TRUE(capture::resample(Bitmap{}, {1, 1}).rgb.empty());
    Bitmap inconsistent{3, 3, std::vector<std::uint8_t>(5)};
    EXPECT_TRUE(capture::resample(inconsistent, {1, 1}).rgb.empty());
    EXPECT_EQ(capture::resample(inconsistent, {1, 1}).width, 0);
}

}  // namespace
