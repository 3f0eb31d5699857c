#include <cmath>
#include <limits>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "apps/windows.h"
#include "fake.h"
#include "op_support.h"

namespace {

using ::testing::ElementsAre;
using nlohmann::json;
using platform::Value;
using support::error;
using support::result;

class Windows : public ::testing::Test {
protected:
    void SetUp() override {
        fake::reset();
        fake::desktop().apps.running.push_back({10, "Editor", "com.example.editor", true, false, 0});
    }
    void TearDown() override { EXPECT_EQ(fake::outstandingRefs(), 0); }
    void script(std::vector<Value> windows) { fake::desktop().apps.windowInfo = platform::Array(std::move(windows)); }
    std::vector<std::int64_t> ids(bool layerZero) {
        std::vector<std::int64_t> out;
        for (const auto& w : apps::windowList(layerZero)) out.push_back(w["id"].get<std::int64_t>());
        return out;
    }
};

TEST_F(Windows, RecordHasSevenKeysAndBoundsUnchanged) {
    script({fake::windowEntry(7, 10, "Editor", "notes.txt", 0, {{-1.5, 20.25}, {640.5, 0}})});
    EXPECT_EQ(result(R"({"op":"windows"})"), json::parse(R"({"windows":[{"id":7,"pid":10,"app":"Editor",
        "bundleId":"com.example.editor","title":"notes.txt","layer":0,
        "bounds":{"x":-1.5,"y":20.25,"w":640.5,"h":0.0}}]})"));
    EXPECT_EQ(fake::desktop().log.front(), "window-list 17 0");
}

TEST_F(Windows, NoListOrNotAListIsEmpty) {
    EXPECT_EQ(result(R"({"op":"windows"})"), json::parse(R"({"windows":[]})"));
    fake::desktop().apps.windowInfo = platform::Dictionary{};
    EXPECT_EQ(result(R"({"op":"windows"})"), json::parse(R"({"windows":[]})"));
    script({Value("not a window"), Value(std::int64_t{3})});
    EXPECT_EQ(result(R"({"op":"windows"})"), json::parse(R"({"windows":[]})"));
}

TEST_F(Windows, LayerFilterOnlyWithLayerZero) {
    Value noLayer = fake::windowEntry(3, 10, "Editor", "", 0, {{0, 0}, {1, 1}});
    fake::setEntry(noLayer, platform::kCGWindowLayer, {});
    Value textLayer = fake::windowEntry(4, 10, "Editor", "", 0, {{0, 0}, {1, 1}});
    fake::setEntry(textLayer, platform::kCGWindowLayer, "25");
    Value realLayer = fake::windowEntry(5, 10, "Editor", "", 0, {{0, 0}, {1, 1}});
    fake::setEntry(realLayer, platform::kCGWindowLayer, 0.5);  // truncates to 0
    Value nanLayer = fake::windowEntry(6, 10, "Editor", "", 0, {{0, 0}, {1, 1}});
    fake::setEntry(nanLayer, platform::kCGWindowLayer, std::nan(""));
    script({fake::windowEntry(1, 10, "Editor", "", 25, {{0, 0}, {1, 1}}),
            fake::windowEntry(2, 10, "Editor", "", -1, {{0, 0}, {1, 1}}), noLayer, textLayer, realLayer, nanLayer});
    EXPECT_THAT(ids(true), ElementsAre(3, 4, 5));
    EXPECT_THAT(ids(false), ElementsAre(1, 2, 3, 4, 5));
    EXPECT_EQ(apps::windowList(false)[0]["layer"], 25);
    EXPECT_EQ(apps::windowList(true)[0]["layer"], 0);
}

TEST_F(Windows, AlphaAtOrBelowOneHundredthDrops) {
    Value none = fake::windowEntry(5, 10, "Editor", "", 0, {{0, 0}, {1, 1}});
    fake::setEntry(none, platform::kCGWindowAlpha, {});
    Value text = fake::windowEntry(6, 10, "Editor", "", 0, {{0, 0}, {1, 1}});
    fake::setEntry(text, platform::kCGWindowAlpha, "0");
    Value zeroInt = fake::windowEntry(7, 10, "Editor", "", 0, {{0, 0}, {1, 1}});
    fake::setEntry(zeroInt, platform::kCGWindowAlpha, std::int64_t{0});
    script({fake::windowEntry(1, 10, "Editor", "", 0, {{0, 0}, {1, 1}}, 0.01),
            fake::windowEntry(2, 10, "Editor", "", 0, {{0, 0}, {1, 1}}, 0.011),
            fake::windowEntry(3, 10, "Editor", "", 0, {{0, 0}, {1, 1}}, -1),
            fake::windowEntry(4, 10, "Editor", "", 0, {{0, 0}, {1, 1}}, std::nan("")), none, text, zeroInt});
    EXPECT_THAT(ids(true), ElementsAre(2, 4, 5, 6));
}

TEST_F(Windows, NumberOwnerAndBoundsAreEssential) {
    auto with = [](std::string_view key, Value v) {
        Value w = fake::windowEntry(99, 10, "Editor", "", 0, {{0, 0}, {10, 10}});
        fake::setEntry(w, key, std::move(v));
        return w;
    };
    Value badBounds = fake::windowEntry(99, 10, "Editor", "", 0, {{0, 0}, {10, 10}});
    fake::setEntry(badBounds, platform::kCGWindowBounds, platform::Dictionary{{"X", 0.0}, {"Y", 0.0}, {"Width", 1.0}});
    script({with(platform::kCGWindowNumber, {}), with(platform::kCGWindowNumber, "5"),
            with(platform::kCGWindowNumber, std::numeric_limits<double>::infinity()),
            with(platform::kCGWindowOwnerPID, {}), with(platform::kCGWindowOwnerPID, true),
            with(platform::kCGWindowOwnerPID, std::int64_t{1} << 40),
            with(platform::kCGWindowBounds, {}), with(platform::kCGWindowBounds, "0 0 10 10"),
            with(platform::kCGWindowBounds, fake::boundsEntry(0, 0, std::nan(""), 10)), badBounds,
            with(platform::kCGWindowNumber, 12.9), with(platform::kCGWindowOwnerPID, -3.5)});
    auto list = apps::windowList(false);
    ASSERT_EQ(list.size(), 2u);
    // Only windows that pass every test have their owner looked up.
    EXPECT_THAT(support::logOf({"app-for-pid"}), ElementsAre("app-for-pid 10", "app-for-pid -3"));
    EXPECT_EQ(list[0]["id"], 12);
    EXPECT_EQ(list[1]["pid"], -3);
    EXPECT_EQ(apps::windowAt({5, 5})["windowId"], 12);
}

TEST_F(Windows, MissingTextsAndUnknownOwnersBecomeEmpty) {
    Value w = fake::windowEntry(1, 77, "", "", 0, {{0, 0}, {1, 1}});
    fake::setEntry(w, platform::kCGWindowOwnerName, {});
    fake::setEntry(w, platform::kCGWindowName, std::int64_t{5});
    script({w, fake::windowEntry(2, 10, "Editor", "Doc", 0, {{0, 0}, {1, 1}}),
            fake::windowEntry(3, 10, "Editor", "Doc 2", 0, {{0, 0}, {1, 1}})});
    auto list = apps::windowList(true);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0]["app"], "");
    EXPECT_EQ(list[0]["title"], "");
    EXPECT_EQ(list[0]["bundleId"], "");
    EXPECT_EQ(list[2]["bundleId"], "com.example.editor");  // one app, many windows, no merging
}

TEST_F(Windows, HitTestEdgesAndFrontMostWins) {
    script({fake::windowEntry(1, 10, "Editor", "", 25, {{100, 100}, {50, 50}}),  // front, a panel
            fake::windowEntry(2, 77, "Other", "", 0, {{0, 0}, {200, 200}}),
            fake::windowEntry(3, 10, "Editor", "", 0, {{300, 300}, {10, 0}})});
    auto hit = [](double x, double y) { return apps::windowAt({x, y}); };
    EXPECT_EQ(hit(120, 120), json::parse(R"({"pid":10,"bundleId":"com.example.editor","app":"Editor","windowId":1})"));
    EXPECT_EQ(hit(100, 100)["windowId"], 1);      // minimum edges are inside
    EXPECT_EQ(hit(150, 120)["windowId"], 2);      // maximum x edge is outside
    EXPECT_EQ(hit(120, 150)["windowId"], 2);      // maximum y edge is outside
    EXPECT_EQ(hit(0, 0), json::parse(R"({"pid":77,"bundleId":"","app":"Other","windowId":2})"));
    EXPECT_EQ(hit(200, 10), json::object());
    EXPECT_EQ(hit(300, 300), json::object());   // zero height holds nothing
    EXPECT_EQ(hit(-1, -1), json::object());
    EXPECT_EQ(fake::desktop().log.front(), "window-list 17 0");
}

TEST_F(Windows, AtOperation) {
    EXPECT_EQ(result(R"({"op":"at","x":5,"y":5})"), json::object());
    script({fake::windowEntry(4, 10, "Editor", "", 0, {{0, 0}, {10, 10}})});
    EXPECT_EQ(result(R"({"op":"at","x":9.999,"y":true})"),
              json::parse(R"({"pid":10,"bundleId":"com.example.editor","app":"Editor","windowId":4})"));
    fake::desktop().log.clear();
    EXPECT_EQ(error(R"({"op":"at","x":5})"), "Missing point/bad_args");
    EXPECT_EQ(error(R"({"op":"at","x":"5","y":5})"), "Missing point/bad_args");
    EXPECT_TRUE(fake::desktop().log.empty());
}

}  // namespace
