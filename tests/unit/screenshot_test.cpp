// The screenshot operation over the channel against the fake screen: what is
// captured, the answer's geometry and pixels, scaling down, and every refusal.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <png.h>

#include <string>
#include <vector>

#include "capture/scaling.h"
#include "channel/response.h"
#include "fake.h"
#include "op_support.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using nlohmann::json;
using support::error;
using support::logOf;
using support::result;

std::string unbase64(const std::string& text) {
    static const std::string kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::uint32_t bits = 0;
    int count = 0;
    for (char c : text) {
        if (c == '=') break;
        auto at = kAlphabet.find(c);
        if (at == std::string::npos) ADD_FAILURE() << "not base64: " << c;
        bits = bits << 6 | static_cast<std::uint32_t>(at);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 255);
        }
    }
    return out;
}

// The answer's "png" decoded into RGB pixels with libpng.
platform::Bitmap decode(const json& answer) {
    std::string png = unbase64(answer.at("png").get<std::string>());
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return {};
    image.format = PNG_FORMAT_RGB;
    platform::Bitmap out{static_cast<std::int32_t>(image.width), static_cast<std::int32_t>(image.height),
                         std::vector<std::uint8_t>(PNG_IMAGE_SIZE(image))};
    if (!png_image_finish_read(&image, nullptr, out.rgb.data(), 0, nullptr)) return {};
    return out;
}

// The fake screen's pixels from (left, top), width x height.
platform::Bitmap screenPart(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) {
    platform::Bitmap out{width, height, {}};
    for (std::int32_t y = top; y < top + height; ++y)
        for (std::int32_t x = left; x < left + width; ++x) {
            std::uint8_t rgb[3];
            fake::CaptureState::pixel(x, y, rgb);
            out.rgb.insert(out.rgb.end(), rgb, rgb + 3);
        }
    return out;
}

json geometry(const json& answer) {
    json g = answer;
    g.erase("png");
    return g;
}

class Screenshot : public ::testing::Test {
protected:
    void SetUp() override {
        fake::reset();
        auto& d = fake::desktop();
        // A 40 x 30 point display at two pixels per point.
        d.apps.display = {{0, 0}, {40, 30}};
        d.capture.fill({0, 0}, 40, 30, 2);
        platform::Array windows;
        windows.push_back(fake::windowEntry(5120, 412, "Editor", "notes.txt", 0, {{4, 6}, {10, 8}}));
        windows.push_back(fake::windowEntry(5121, 77, "Panel", "", 25, {{30, 25}, {20, 20}}));
        d.apps.windowInfo = std::move(windows);
    }
    void TearDown() override {
        EXPECT_EQ(fake::outstandingRefs(), 0);
        EXPECT_EQ(fake::desktop().requestsOpen, 0);
    }
};

TEST_F(Screenshot, TheMainDisplayByDefault) {
    json a = result(R"({"op":"screenshot"})");
    EXPECT_EQ(geometry(a), json::parse(R"({"width":80,"height":60,"x":0.0,"y":0.0,"w":40.0,"h":30.0,"scale":2.0})"));
    platform::Bitmap image = decode(a);
    EXPECT_EQ(image.width, 80);
    EXPECT_EQ(image.height, 60);
    EXPECT_EQ(image.rgb, fake::desktop().capture.pixels.rgb);
    EXPECT_THAT(logOf({"main-display", "display-bounds", "capture"}),
                ElementsAre("main-display", "display-bounds 1", "capture 0 0 40 30"));
}

TEST_F(Screenshot, ARegion) {
    json a = result(R"({"op":"screenshot","x":10,"y":5,"w":8,"h":4.5})");
    EXPECT_EQ(geometry(a), json::parse(R"({"width":16,"height":9,"x":10.0,"y":5.0,"w":8.0,"h":4.5,"scale":2.0})"));
    EXPECT_EQ(decode(a).rgb, screenPart(20, 10, 16, 9).rgb);
    EXPECT_THAT(logOf({"main-display", "capture"}), ElementsAre("capture 10 5 8 4.5"));
}

TEST_F(Screenshot, ARegionIsClippedToTheScreen) {
    json a = result(R"({"op":"screenshot","x":-10,"y":25,"w":20,"h":20})");
    EXPECT_EQ(geometry(a), json::parse(R"({"width":20,"height":10,"x":0.0,"y":25.0,"w":10.0,"h":5.0,"scale":2.0})"));
    EXPECT_EQ(decode(a).rgb, screenPart(0, 50, 20, 10).rgb);
}

TEST_F(Screenshot, AWindowsBoundsOfAnyLayer) {
    json a = result(R"({"op":"screenshot","windowId":5120,"x":0,"y":0,"w":1,"h":1})");
    EXPECT_EQ(geometry(a), json::parse(R"({"width":20,"height":16,"x":4.0,"y":6.0,"w":10.0,"h":8.0,"scale":2.0})"));
    EXPECT_EQ(decode(a).rgb, screenPart(8, 12, 20, 16).rgb);
    // Partly off the screen: clipped.
    json panel = result(R"({"op":"screenshot","windowId":5121.9})");
    EXPECT_EQ(geometry(panel),
              json::parse(R"({"width":20,"height":10,"x":30.0,"y":25.0,"w":10.0,"h":5.0,"scale":2.0})"));
    EXPECT_EQ(decode(panel).rgb, screenPart(60, 50, 20, 10).rgb);
}

TEST_F(Screenshot, UnknownWindows) {
    EXPECT_EQ(error(R"({"op":"screenshot","windowId":999})"), "No such window/bad_args");
    EXPECT_EQ(error(R"({"op":"screenshot","windowId":"5120"})"), "No such window/bad_args");
    EXPECT_EQ(error(R"({"op":"screenshot","windowId":[5120]})"), "No such window/bad_args");
    EXPECT_EQ(error(R"({"op":"screenshot","windowId":1e30})"), "Number out of range for \"windowId\"/bad_args");
    fake::desktop().apps.windowInfo = platform::Value{};
    EXPECT_EQ(error(R"({"op":"screenshot","windowId":5120})"), "No such window/bad_args");
    EXPECT_THAT(logOf({"capture"}), IsEmpty());
}

TEST_F(Screenshot, ANullArgumentIsAbsent) {
    json a = result(R"({"op":"screenshot","windowId":null,"maxWidth":null,"x":null})");
    EXPECT_EQ(a["width"], 80);
}

TEST_F(Screenshot, EmptyRegions) {
    for (const char* line : {R"({"op":"screenshot","x":1,"y":1,"w":0,"h":5})",
                             R"({"op":"screenshot","x":1,"y":1,"w":5,"h":-1})",
                             R"({"op":"screenshot","x":1,"y":1,"w":-5,"h":-1})"})
        EXPECT_EQ(error(line), "Empty region/bad_args") << line;
    EXPECT_THAT(logOf({"capture"}), IsEmpty());
    // Off the screen altogether, or a window of no size.
    EXPECT_EQ(error(R"({"op":"screenshot","x":40,"y":0,"w":5,"h":5})"), "Empty region/bad_args");
    EXPECT_EQ(error(R"({"op":"screenshot","x":-100,"y":-100,"w":50,"h":50})"), "Empty region/bad_args");
    fake::desktop().apps.windowInfo =
        platform::Array{fake::windowEntry(9, 412, "Editor", "", 0, {{4, 6}, {0, 8}})};
    EXPECT_EQ(error(R"({"op":"screenshot","windowId":9})"), "Empty region/bad_args");
}

TEST_F(Screenshot, PartOfARegion) {
    for (const char* line : {R"({"op":"screenshot","x":1})", R"({"op":"screenshot","x":1,"y":1,"w":5})",
                             R"({"op":"screenshot","h":5})", R"({"op":"screenshot","x":1,"y":1,"w":5,"h":"5"})",
                             R"({"op":"screenshot","x":1,"y":1,"w":5,"h":null})"})
        EXPECT_EQ(error(line), "Missing region/bad_args") << line;
    EXPECT_EQ(error(R"({"op":"screenshot","x":1e400,"y":1,"w":5,"h":5})"), "Number out of range for \"x\"/bad_args");
    EXPECT_THAT(logOf({"capture"}), IsEmpty());
}

TEST_F(Screenshot, MaxWidthScalesDown) {
    json a = result(R"({"op":"screenshot","maxWidth":30})");
    // 60 * 30 / 80 = 22.5 rows round to 23; 30 pixels over 40 points.
    EXPECT_EQ(geometry(a), json::parse(R"({"width":30,"height":23,"x":0.0,"y":0.0,"w":40.0,"h":30.0,"scale":0.75})"));
    EXPECT_EQ(decode(a).rgb, capture::resample(fake::desktop().capture.pixels, {30, 23}).rgb);

    json region = result(R"({"op":"screenshot","x":10,"y":5,"w":8,"h":4,"maxWidth":8.9})");
    EXPECT_EQ(geometry(region), json::parse(R"({"width":8,"height":4,"x":10.0,"y":5.0,"w":8.0,"h":4.0,"scale":1.0})"));
    // Whole 2x2 blocks: red is the mean of 2x and 2x+1, green of 2y and 2y+1 (halves up).
    platform::Bitmap half = decode(region);
    ASSERT_EQ(half.rgb.size(), 8u * 4u * 3u);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) {
            const std::uint8_t* p = half.rgb.data() + (y * 8 + x) * 3;
            EXPECT_EQ(p[0], 20 + 2 * x + 1) << x << "," << y;  // (2x + 2x + 1) / 2 = 2x + 0.5, up
            EXPECT_EQ(p[1], 10 + 2 * y + 1) << x << "," << y;
            EXPECT_EQ(p[2], (20 + 2 * x) + 2 * (10 + 2 * y) + 2) << x << "," << y;  // mean of +0, +1, +2, +3
        }

    json tiny = result(R"({"op":"screenshot","maxWidth":1})");
    EXPECT_EQ(geometry(tiny), json::parse(R"({"width":1,"height":1,"x":0.0,"y":0.0,"w":40.0,"h":30.0,"scale":0.025})"));
}

TEST_F(Screenshot, MaxWidthNeverScalesUp) {
    for (const char* line : {R"({"op":"screenshot","maxWidth":80})", R"({"op":"screenshot","maxWidth":5000})"}) {
        json a = result(line);
        EXPECT_EQ(geometry(a), json::parse(R"({"width":80,"height":60,"x":0.0,"y":0.0,"w":40.0,"h":30.0,"scale":2.0})"));
        EXPECT_EQ(decode(a).rgb, fake::desktop().capture.pixels.rgb);
    }
}

TEST_F(Screenshot, MaxWidthMustBeAPositiveWholeNumber) {
    for (const char* line : {R"({"op":"screenshot","maxWidth":0})", R"({"op":"screenshot","maxWidth":-5})",
                             R"({"op":"screenshot","maxWidth":0.5})", R"({"op":"screenshot","maxWidth":"640"})",
                             R"({"op":"screenshot","maxWidth":1e10})", R"({"op":"screenshot","maxWidth":false})"})
        EXPECT_EQ(error(line), "Number out of range for \"maxWidth\"/bad_args") << line;
    EXPECT_THAT(logOf({"main-display", "capture"}), IsEmpty());
}

TEST_F(Screenshot, FractionalScales) {
    fake::desktop().capture.fill({0, 0}, 40, 30, 1.5);
    json a = result(R"({"op":"screenshot","x":2,"y":2,"w":2,"h":4})");
    EXPECT_EQ(geometry(a), json::parse(R"({"width":3,"height":6,"x":2.0,"y":2.0,"w":2.0,"h":4.0,"scale":1.5})"));
    EXPECT_EQ(decode(a).rgb, screenPart(3, 3, 3, 6).rgb);
}

TEST_F(Screenshot, CaptureRefusals) {
    auto& capture = fake::desktop().capture;
    capture.error = platform::CaptureError::notAllowed;
    EXPECT_EQ(error(R"({"op":"screenshot"})"), "Screen recording is not allowed/no_permission");
    capture.error = platform::CaptureError::noDisplay;
    EXPECT_EQ(error(R"({"op":"screenshot","x":0,"y":0,"w":5,"h":5})"), "Could not capture the screen/capture_failed");
    capture.error = platform::CaptureError::failed;
    EXPECT_EQ(error(R"({"op":"screenshot","windowId":5120})"), "Could not capture the screen/capture_failed");
    // No main display: nothing is asked of the capture.
    capture.error = platform::CaptureError::none;
    fake::desktop().log.clear();
    fake::desktop().apps.display = {};
    EXPECT_EQ(error(R"({"op":"screenshot"})"), "Could not capture the screen/capture_failed");
    EXPECT_THAT(logOf({"capture"}), IsEmpty());
}

TEST_F(Screenshot, TheAnswerIsOneLine) {
    std::string line = channel::respondLine("7", json::parse(R"({"op":"screenshot","maxWidth":33})"));
    ASSERT_FALSE(line.empty());
    EXPECT_EQ(line.find('\n'), line.size() - 1);
    json a = json::parse(line);
    EXPECT_EQ(a["id"], 7);
    EXPECT_EQ(a["result"]["width"], 33);
    EXPECT_EQ(decode(a["result"]).width, 33);
}

TEST_F(Screenshot, OtherOperationsAnswerAsBefore) {
    EXPECT_EQ(result(R"({"op":"display"})"), json::parse(R"({"x":0.0,"y":0.0,"w":40.0,"h":30.0})"));
    EXPECT_EQ(error(R"({"op":"screenshots"})"), "Unknown request/bad_args");
    EXPECT_EQ(error(R"({"op":"Screenshot"})"), "Unknown request/bad_args");
}

}  // namespace
