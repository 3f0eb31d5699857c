#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fake.h"
#include "input/keyboard.h"
#include "input/pointer.h"
#include "op_support.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using support::timeline;
using V = std::vector<std::string>;

class Input : public ::testing::Test {
protected:
    void SetUp() override { fake::reset(); }
    void TearDown() override { EXPECT_EQ(fake::outstandingRefs(), 0); }
};

TEST_F(Input, PostFollowsTheDeliveryRule) {
    input::post(platform::cgEventCreateKeyboardEvent(input::source, 4, true), std::nullopt);
    input::post(platform::cgEventCreateKeyboardEvent(input::source, 4, false), 412);
    input::post(platform::Event{}, 412);  // a null event is ignored
    EXPECT_THAT(timeline(), ElementsAre("post tap 0 key 4 down", "post pid 412 key 4 up"));
}

TEST_F(Input, PauseSleepsMicrosecondsAndNeverWraps) {
    input::pause(12);
    input::pause(4294967);
    input::pause(4294968);  // the product would not fit 32 bits
    EXPECT_THAT(timeline(), ElementsAre("pause 12000", "pause 4294967000", "pause 4294967000"));
}

TEST_F(Input, ClickMovesThenPressesAndReleasesWithClickNumbers) {
    input::click({10, 20.5}, false, 2);
    EXPECT_THAT(timeline(), ElementsAre("post tap 0 mouse 5 (10,20.5) button 0",
                                        "post tap 0 mouse 1 (10,20.5) button 0 click 1", "pause 12000",
                                        "post tap 0 mouse 2 (10,20.5) button 0 click 1", "pause 12000",
                                        "post tap 0 mouse 1 (10,20.5) button 0 click 2", "pause 12000",
                                        "post tap 0 mouse 2 (10,20.5) button 0 click 2", "pause 12000"));
}

TEST_F(Input, ClickCountIsClampedToOneThroughThree) {
    auto clicks = [](std::int64_t count) {
        fake::reset();
        input::click({1, 1}, false, count);
        V states;
        for (const auto& p : fake::desktop().input.posted)
            if (p.event.type == platform::kCGEventLeftMouseDown)
                states.push_back(std::to_string(p.event.fields.at(platform::kCGMouseEventClickState)));
        return states;
    };
    EXPECT_THAT(clicks(0), ElementsAre("1"));
    EXPECT_THAT(clicks(-4), ElementsAre("1"));
    EXPECT_THAT(clicks(INT64_MIN), ElementsAre("1"));
    EXPECT_THAT(clicks(3), ElementsAre("1", "2", "3"));
    EXPECT_THAT(clicks(7), ElementsAre("1", "2", "3"));
    EXPECT_THAT(clicks(INT64_MAX), ElementsAre("1", "2", "3"));
}

TEST_F(Input, RightClickUsesRightButtonTypesButMovesWithLeft) {
    input::click({3, 4}, true, 1);
    EXPECT_THAT(timeline(), ElementsAre("post tap 0 mouse 5 (3,4) button 0",
                                        "post tap 0 mouse 3 (3,4) button 1 click 1", "pause 12000",
                                        "post tap 0 mouse 4 (3,4) button 1 click 1", "pause 12000"));
}

TEST_F(Input, EventsThatCannotBeMadeAreSkippedButTheirPausesStay) {
    fake::desktop().input.failCreation = {0, 1};  // the move and the first press
    input::click({3, 4}, false, 1);
    EXPECT_THAT(timeline(), ElementsAre("create-failed mouse 5 (3,4) button 0",
                                        "create-failed mouse 1 (3,4) button 0", "pause 12000",
                                        "post tap 0 mouse 2 (3,4) button 0 click 1", "pause 12000"));
}

TEST_F(Input, DragTakesTwentyStepsAndEndsExactlyAtTheEndPoint) {
    input::drag({0, 0}, {100, 50});
    auto lines = timeline();
    ASSERT_EQ(lines.size(), 42u);
    EXPECT_EQ(lines[0], "post tap 0 mouse 1 (0,0) button 0");
    for (int i = 1; i <= 20; ++i) EXPECT_EQ(lines[2 * i], "pause 10000");
    EXPECT_EQ(lines[1], "post tap 0 mouse 6 (5,2.5) button 0");
    EXPECT_EQ(lines[20 * 2 - 1], "post tap 0 mouse 6 (100,50) button 0");
    EXPECT_EQ(lines[41], "post tap 0 mouse 2 (100,50) button 0");
    // Step i lies at (to - from) * (i / 20) + from.
    const auto& posted = fake::desktop().input.posted;
    for (int i = 1; i < 20; ++i) {
        EXPECT_EQ(posted[i].event.type, platform::kCGEventLeftMouseDragged);
        EXPECT_EQ(posted[i].event.location->x, 100.0 * (i / 20.0));
        EXPECT_EQ(posted[i].event.location->y, 50.0 * (i / 20.0));
    }
}

TEST_F(Input, DragLastStepIsTheEndPointEvenWhereArithmeticRoundsAway) {
    // (0.7 - 3.3) * 1 + 3.3 is 0.7000000000000002 in doubles.
    platform::Point from{3.3, 3.3}, to{0.7, 0.7};
    ASSERT_NE((to.x - from.x) * 1.0 + from.x, to.x);
    input::drag(from, to);
    const auto& posted = fake::desktop().input.posted;
    ASSERT_EQ(posted.size(), 22u);
    EXPECT_EQ(posted[20].event.location->x, 0.7);
    EXPECT_EQ(posted[21].event.location->x, 0.7);
    EXPECT_EQ(posted[1].event.location->x, (0.7 - 3.3) * (1 / 20.0) + 3.3);
}

TEST_F(Input, DragAcrossTheWholeNumberRangeStaysFinite) {
    input::drag({-1e308, 0}, {1e308, 0});
    for (const auto& p : fake::desktop().input.posted) EXPECT_TRUE(std::isfinite(p.event.location->x));
    EXPECT_EQ(fake::desktop().input.posted[10].event.location->x, 0.0);
}

TEST_F(Input, DragToTheSamePoint) {
    input::drag({7, 8}, {7, 8});
    auto lines = timeline();
    ASSERT_EQ(lines.size(), 42u);
    for (int i = 1; i <= 20; ++i) EXPECT_EQ(lines[2 * i - 1], "post tap 0 mouse 6 (7,8) button 0");
}

TEST_F(Input, ScrollSystemWideMovesFirstAndNegatesAmounts) {
    input::scroll({5, 6}, 0, 3, std::nullopt);
    EXPECT_THAT(timeline(), ElementsAre("post tap 0 mouse 5 (5,6) button 0",
                                        "post tap 0 scroll units 1 wheels 2 -3 0 0 at (5,6)"));
    fake::reset();
    input::scroll({5, 6}, -2, 0, 412);
    EXPECT_THAT(timeline(), ElementsAre("post pid 412 scroll units 1 wheels 2 0 2 0 at (5,6)"));
    fake::reset();
    input::scroll({0, 0}, 0, 0, std::nullopt);
    EXPECT_THAT(timeline(), ElementsAre("post tap 0 mouse 5 (0,0) button 0",
                                        "post tap 0 scroll units 1 wheels 2 0 0 0 at (0,0)"));
}

TEST_F(Input, ScrollExtremesAndAFailedWheel) {
    input::scroll({0, 0}, INT32_MAX, INT32_MIN, 1);
    EXPECT_THAT(timeline(), ElementsAre("post pid 1 scroll units 1 wheels 2 2147483647 -2147483647 0 at (0,0)"));
    fake::reset();
    fake::desktop().input.failCreation = {1};
    input::scroll({1, 2}, 1, 1, std::nullopt);
    EXPECT_THAT(timeline(), ElementsAre("post tap 0 mouse 5 (1,2) button 0",
                                        "create-failed scroll units 1 wheels 2 -1 -1 0"));
}

TEST_F(Input, EventsComeFromTheSharedSource) {
    input::source = platform::cgEventSourceCreate(platform::kCGEventSourceStateHIDSystemState);
    input::click({1, 1}, false, 1);
    input::key(1, {}, std::nullopt);
    input::scroll({1, 1}, 1, 1, std::nullopt);
    for (const auto& e : fake::desktop().input.made) EXPECT_TRUE(e.fromSource);
    input::source = {};
}

TEST(Flags, NamesAreExactAndCombine) {
    EXPECT_EQ(input::flags({"cmd", "shift"}), 0x120000u);
    EXPECT_EQ(input::flags({"alt", "ctrl"}), 0xC0000u);
    EXPECT_EQ(input::flags({"fn", "fn"}), 0x800000u);
    EXPECT_EQ(input::flags({}), 0u);
    EXPECT_EQ(input::flags({"CMD", "command", "shiftx", "", "option"}), 0u);
}

TEST_F(Input, KeySetsExactlyItsFlagsOnBothEvents) {
    input::key(36, {"cmd", "bogus"}, std::nullopt);
    EXPECT_THAT(timeline(), ElementsAre("post tap 0 key 36 down flags 0x100000", "pause 8000",
                                        "post tap 0 key 36 up flags 0x100000", "pause 8000"));
    fake::reset();
    input::key(65535, {}, 99);
    EXPECT_THAT(timeline(), ElementsAre("post pid 99 key 65535 down flags 0x0", "pause 8000",
                                        "post pid 99 key 65535 up flags 0x0", "pause 8000"));
    fake::reset();
    fake::desktop().input.failCreation = {0};
    input::key(1, {}, std::nullopt);
    EXPECT_THAT(timeline(), ElementsAre("create-failed key 1 down", "pause 8000",
                                        "post tap 0 key 1 up flags 0x0", "pause 8000"));
}

V typed(const std::string& text, std::optional<std::int32_t> pid = std::nullopt) {
    fake::reset();
    input::typeText(text, pid);
    return timeline();
}

V chunk(const std::string& text, const char* to = "tap 0") {
    std::string t = to;
    return {"post " + t + " key 0 down text \"" + text + "\"", "pause 6000",
            "post " + t + " key 0 up text \"" + text + "\"", "pause 6000"};
}

V ret(const char* to = "tap 0") {
    std::string t = to;
    return {"post " + t + " key 36 down flags 0x0", "pause 8000", "post " + t + " key 36 up flags 0x0",
            "pause 8000"};
}

V join(std::initializer_list<V> parts) {
    V out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST_F(Input, TypeTextChunksLinesOfUtf16Units) {
    EXPECT_THAT(typed(""), ElementsAre());
    EXPECT_THAT(typed("\n"), ElementsAreArray(ret()));
    EXPECT_THAT(typed("0123456789abcdef"), ElementsAreArray(chunk("0123456789abcdef")));
    EXPECT_THAT(typed("0123456789abcdefg"), ElementsAreArray(join({chunk("0123456789abcdef"), chunk("g")})));
    std::string s33(33, 'x');
    EXPECT_THAT(typed(s33), ElementsAreArray(join({chunk(std::string(16, 'x')), chunk(std::string(16, 'x')),
                                                   chunk("x")})));
    EXPECT_THAT(typed("ab\ncd"), ElementsAreArray(join({chunk("ab"), ret(), chunk("cd")})));
    EXPECT_THAT(typed("ab\n"), ElementsAreArray(join({chunk("ab"), ret()})));
    EXPECT_THAT(typed("\n\nx"), ElementsAreArray(join({ret(), ret(), chunk("x")})));
    EXPECT_THAT(typed("a\tb"), ElementsAreArray(chunk("a\tb")));
    EXPECT_THAT(typed("hi", 7), ElementsAreArray(chunk("hi", "pid 7")));
    EXPECT_THAT(typed("a\nb", 7), ElementsAreArray(join({chunk("a", "pid 7"), ret("pid 7"), chunk("b", "pid 7")})));
}

TEST_F(Input, TypeTextCountsUnitsNotBytesAndMaySplitAPair) {
    // 15 × "é" (2 bytes, 1 unit) then "😀" (4 bytes, 2 units): the pair is split.
    std::string text;
    for (int i = 0; i < 15; ++i) text += "é";
    text += "😀z";
    typed(text);
    const auto& posted = fake::desktop().input.posted;
    ASSERT_EQ(posted.size(), 4u);
    EXPECT_EQ(posted[0].event.unicode->size(), 16u);
    EXPECT_EQ(posted[0].event.unicode->back(), u'\xD83D');
    EXPECT_EQ(*posted[2].event.unicode, u"\xDE00z");
    EXPECT_FALSE(posted[0].event.flags);  // text events carry no flags at all
    EXPECT_EQ(posted[0].event.keyCode, 0);
}

TEST_F(Input, TypeTextDropsTheCrOfACrLfOnly) {
    EXPECT_THAT(typed("a\r\nb"), ElementsAreArray(join({chunk("a"), ret(), chunk("b")})));
    EXPECT_THAT(typed("\r\n"), ElementsAreArray(ret()));
    EXPECT_THAT(typed("a\rb"), ElementsAreArray(chunk("a\rb")));
    EXPECT_THAT(typed("a\r"), ElementsAreArray(chunk("a\r")));
    EXPECT_THAT(typed("a\r\r\n"), ElementsAreArray(join({chunk("a\r"), ret()})));
}

TEST_F(Input, TypeTextReplacesBytesThatAreNotUtf8) {
    typed(std::string("a\xff" "b\xe2\x82", 5));
    ASSERT_EQ(fake::desktop().input.posted.size(), 2u);
    EXPECT_EQ(*fake::desktop().input.posted[0].event.unicode, u"a\uFFFDb\uFFFD\uFFFD");
}

TEST_F(Input, TypeTextKeepsPausesOfEventsThatFail) {
    fake::desktop().input.failCreation = {0, 3};  // first text down, Return up
    input::typeText("a\n", std::nullopt);
    EXPECT_THAT(timeline(), ElementsAre("create-failed key 0 down", "pause 6000",
                                        "post tap 0 key 0 up text \"a\"", "pause 6000",
                                        "post tap 0 key 36 down flags 0x0", "pause 8000",
                                        "create-failed key 36 up", "pause 8000"));
}

}  // namespace
