// The query, input and permission operations over the channel: argument
// reading orders, defaults, refusals, and the exact calls and events.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fake.h"
#include "op_support.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using nlohmann::json;
using support::error;
using support::result;
using support::timeline;

class Operations : public ::testing::Test {
protected:
    void SetUp() override { fake::reset(); }
    void TearDown() override { EXPECT_EQ(fake::outstandingRefs(), 0); }
};

TEST_F(Operations, PermissionsAskWithoutPrompting) {
    EXPECT_EQ(result(R"({"op":"permissions"})"), json::parse(R"({"screen":false,"accessibility":false})"));
    fake::desktop().apps.trusted = true;
    EXPECT_EQ(result(R"({"op":"permissions","kind":"screen"})"), json::parse(R"({"screen":false,"accessibility":true})"));
    EXPECT_THAT(fake::desktop().log, ElementsAre("screen-preflight", "ax-trusted", "screen-preflight", "ax-trusted"));
}

TEST_F(Operations, RequestPermissionPromptsForExactlyOne) {
    for (auto [line, call] : {std::pair{R"({"op":"request_permission","kind":"screen"})", "screen-request"},
                              {R"({"op":"request_permission"})", "ax-trusted-prompt"},
                              {R"({"op":"request_permission","kind":"accessibility"})", "ax-trusted-prompt"},
                              {R"({"op":"request_permission","kind":"Screen"})", "ax-trusted-prompt"},
                              {R"({"op":"request_permission","kind":1})", "ax-trusted-prompt"}}) {
        fake::desktop().log.clear();
        fake::desktop().apps.trusted = true;  // already granted: still {"ok": true}
        EXPECT_EQ(result(line), json::parse(R"({"ok":true})")) << line;
        EXPECT_THAT(fake::desktop().log, ElementsAre(call)) << line;
    }
}

TEST_F(Operations, DisplayDescribesTheMainDisplay) {
    fake::desktop().apps.displayId = 5;
    fake::desktop().apps.display = {{-1440, 0.5}, {1440, 900}};
    EXPECT_EQ(result(R"({"op":"display"})"), json::parse(R"({"x":-1440.0,"y":0.5,"w":1440.0,"h":900.0})"));
    EXPECT_THAT(fake::desktop().log, ElementsAre("main-display", "display-bounds 5"));
    fake::desktop().apps.display = {{std::nan(""), 0}, {1.0 / 0.0, 1}};
    EXPECT_EQ(result(R"({"op":"display"})"), json::parse(R"({"x":0.0,"y":0.0,"w":0.0,"h":1.0})"));
}

TEST_F(Operations, FocusInfoAsksTheProcessOrTheSystem) {
    auto& ax = fake::desktop().ax;
    int field = ax.child(ax.window(ax.app(412)), "AXTextField");
    ax.focus(field);
    EXPECT_EQ(result(R"({"op":"focus_info","pid":412})"),
              json::parse(R"({"secureInput":false,"role":"AXTextField","subrole":"","secure":false})"));
    EXPECT_EQ(result(R"({"op":"focus_info","pid":"412"})"),
              json::parse(R"({"secureInput":false,"role":"AXTextField","subrole":"","secure":false})"));
    EXPECT_EQ(error(R"({"op":"focus_info","pid":1e10})"), "Number out of range for \"pid\"/bad_args");
}

TEST_F(Operations, MouseMoveIsOneEventWithoutPause) {
    EXPECT_EQ(result(R"({"op":"mouse","kind":"move","x":1.5,"y":-2,"pid":9,"button":"right","count":3})"),
              json::parse(R"({"ok":true})"));
    EXPECT_THAT(timeline(), ElementsAre("post tap 0 mouse 5 (1.5,-2) button 0"));
    fake::reset();
    fake::desktop().input.failCreation = {0};
    EXPECT_EQ(result(R"({"op":"mouse","kind":"move","x":1,"y":2})"), json::parse(R"({"ok":true})"));
    EXPECT_THAT(timeline(), ElementsAre("create-failed mouse 5 (1,2) button 0"));
}

TEST_F(Operations, MouseClickDefaultsAndConversions) {
    auto downs = [](const char* line) {
        fake::reset();
        EXPECT_EQ(result(line), json::parse(R"({"ok":true})")) << line;
        std::vector<std::string> out;
        for (const auto& p : fake::desktop().input.posted) {
            EXPECT_FALSE(p.pid) << line;  // clicks are always system-wide
            if (p.event.type == 1 || p.event.type == 3)
                out.push_back(std::to_string(p.event.type) + "/" + std::to_string(p.event.button) + "/" +
                              std::to_string(p.event.fields.at(1)));
        }
        return out;
    };
    EXPECT_THAT(downs(R"({"op":"mouse","x":1,"y":2})"), ElementsAre("1/0/1"));
    EXPECT_THAT(downs(R"({"op":"mouse","kind":"Move","x":1,"y":2})"), ElementsAre("1/0/1"));
    EXPECT_THAT(downs(R"({"op":"mouse","kind":"click","x":1,"y":2,"button":"Right","pid":4})"), ElementsAre("1/0/1"));
    EXPECT_THAT(downs(R"({"op":"mouse","x":1,"y":2,"button":"right","count":2.9})"), ElementsAre("3/1/1", "3/1/2"));
    EXPECT_THAT(downs(R"({"op":"mouse","x":1,"y":2,"count":true})"), ElementsAre("1/0/1"));
    EXPECT_THAT(downs(R"({"op":"mouse","x":1,"y":2,"count":-1e18})"), ElementsAre("1/0/1"));
    EXPECT_THAT(downs(R"({"op":"mouse","x":1,"y":2,"count":"3"})"), ElementsAre("1/0/1"));
}

TEST_F(Operations, FailedArgumentsPostNothing) {
    for (const char* line : {
             R"({"op":"mouse","kind":"move","x":1})", R"({"op":"mouse","x":1,"y":"2"})",
             R"({"op":"mouse","x":1,"y":2,"count":1e19})",
             R"({"op":"drag","from":{"x":1,"y":2},"to":{"x":3}})", R"({"op":"drag","x":1,"to":{"x":3,"y":4}})",
             R"({"op":"scroll","y":1,"dy":3})", R"({"op":"scroll","x":0,"y":0,"dx":-2147483648})",
             R"({"op":"scroll","x":0,"y":0,"dy":-2147483648.5})", R"({"op":"scroll","x":0,"y":0,"dy":2147483648})",
             R"({"op":"scroll","x":0,"y":0,"dx":1,"pid":-2147483649})", R"({"op":"key","code":65536})",
             R"({"op":"key","code":-1,"pid":"x"})", R"({"op":"key","code":1,"pid":3e9})"}) {
        fake::reset();
        EXPECT_NE(error(line), "ok") << line;
        EXPECT_THAT(timeline(), IsEmpty()) << line;
    }
}

TEST_F(Operations, ArgumentsAreReadInOrder) {
    // The first failing argument names the answer.
    EXPECT_EQ(error(R"({"op":"mouse","y":1,"count":1e30})"), "Missing point/bad_args");
    EXPECT_EQ(error(R"({"op":"mouse","x":1,"y":1,"count":1e30})"), "Number out of range for \"count\"/bad_args");
    EXPECT_EQ(error(R"({"op":"mouse","kind":"move","x":1,"y":1,"count":1e30})"), "ok");
    EXPECT_EQ(error(R"({"op":"scroll","x":0,"y":0,"dx":-2147483648,"dy":1e30})"),
              "Number out of range for \"dx\"/bad_args");
    EXPECT_EQ(error(R"({"op":"scroll","x":0,"y":0,"dx":1e30,"dy":-2147483648})"),
              "Number out of range for \"dx\"/bad_args");
    EXPECT_EQ(error(R"({"op":"scroll","x":0,"y":0,"dy":-2147483648,"pid":1e30})"),
              "Number out of range for \"dy\"/bad_args");
    EXPECT_EQ(error(R"({"op":"scroll","dy":-2147483648})"), "Missing point/bad_args");
    EXPECT_EQ(error(R"({"op":"key","code":1e9,"pid":1e30})"), "Number out of range for \"code\"/bad_args");
    EXPECT_EQ(error(R"({"op":"drag","from":[],"to":{"x":1}})"), "Missing point/bad_args");
}

TEST_F(Operations, DragReadsFromAndToWithFallback) {
    EXPECT_EQ(result(R"({"op":"drag","from":{"x":1,"y":2},"to":{"x":3,"y":4},"x":9,"y":9})"), json::parse(R"({"ok":true})"));
    auto lines = timeline();
    EXPECT_EQ(lines.front(), "post tap 0 mouse 1 (1,2) button 0");
    EXPECT_EQ(lines.back(), "post tap 0 mouse 2 (3,4) button 0");
    fake::reset();
    EXPECT_EQ(result(R"({"op":"drag","x":5,"y":6,"pid":3})"), json::parse(R"({"ok":true})"));
    lines = timeline();
    ASSERT_EQ(lines.size(), 42u);
    EXPECT_EQ(lines.front(), "post tap 0 mouse 1 (5,6) button 0");
    EXPECT_EQ(lines[39], "post tap 0 mouse 6 (5,6) button 0");
    EXPECT_EQ(lines.back(), "post tap 0 mouse 2 (5,6) button 0");
}

TEST_F(Operations, ScrollDefaultsAndTarget) {
    EXPECT_EQ(result(R"({"op":"scroll","x":1,"y":2})"), json::parse(R"({"ok":true})"));
    EXPECT_THAT(timeline(), ElementsAre("post tap 0 mouse 5 (1,2) button 0",
                                        "post tap 0 scroll units 1 wheels 2 0 0 0 at (1,2)"));
    fake::reset();
    EXPECT_EQ(result(R"({"op":"scroll","x":1,"y":2,"dx":-2.5,"dy":"3","pid":12.5})"), json::parse(R"({"ok":true})"));
    EXPECT_THAT(timeline(), ElementsAre("post pid 12 scroll units 1 wheels 2 0 2 0 at (1,2)"));
    fake::reset();
    EXPECT_EQ(result(R"({"op":"scroll","x":1,"y":2,"dx":-2147483647,"dy":2147483647})"), json::parse(R"({"ok":true})"));
    EXPECT_EQ(timeline().back(), "post tap 0 scroll units 1 wheels 2 -2147483647 2147483647 0 at (1,2)");
}

TEST_F(Operations, KeyDefaultsAndModifiers) {
    auto pressed = [](const char* line) {
        fake::reset();
        EXPECT_EQ(result(line), json::parse(R"({"ok":true})")) << line;
        return timeline();
    };
    EXPECT_THAT(pressed(R"({"op":"key"})"), ElementsAre("post tap 0 key 0 down flags 0x0", "pause 8000",
                                                        "post tap 0 key 0 up flags 0x0", "pause 8000"));
    EXPECT_EQ(pressed(R"({"op":"key","code":65535.5})")[0], "post tap 0 key 65535 down flags 0x0");
    EXPECT_EQ(pressed(R"({"op":"key","code":36.9,"mods":["cmd","shift"]})")[0], "post tap 0 key 36 down flags 0x120000");
    EXPECT_EQ(pressed(R"({"op":"key","code":1,"mods":["command"]})")[0], "post tap 0 key 1 down flags 0x0");
    EXPECT_EQ(pressed(R"({"op":"key","code":1,"mods":"cmd"})")[0], "post tap 0 key 1 down flags 0x0");
    EXPECT_EQ(pressed(R"({"op":"key","code":1,"mods":["cmd",1]})")[0], "post tap 0 key 1 down flags 0x0");
    EXPECT_EQ(pressed(R"({"op":"key","code":-0.5,"pid":8})")[2], "post pid 8 key 0 up flags 0x0");
    fake::reset();
    fake::desktop().secureInput = true;  // only "type" refuses
    EXPECT_EQ(pressed(R"({"op":"key","code":2})").size(), 4u);
}

TEST_F(Operations, TypeRefusesWhileSecureInputIsOn) {
    fake::desktop().secureInput = true;
    EXPECT_EQ(error(R"({"op":"type","text":""})"), "A password field has focus/secure_field");
    EXPECT_EQ(error(R"({"op":"type","text":"secret","pid":1e30})"), "A password field has focus/secure_field");
    EXPECT_THAT(fake::desktop().log, ElementsAre("secure-input?", "secure-input?"));
}

TEST_F(Operations, TypeRefusesWhenTheFocusedFieldIsSecure) {
    auto& ax = fake::desktop().ax;
    int app = ax.app(412);
    int field = ax.child(ax.window(app), "AXTextField");
    ax.set(field, "AXSubrole", "AXSecureTextField");
    ax.focus(field);
    EXPECT_EQ(error(R"({"op":"type","text":"hunter2","pid":412})"), "A password field has focus/secure_field");
    EXPECT_EQ(error(R"({"op":"type","text":"hunter2"})"), "A password field has focus/secure_field");
    EXPECT_THAT(timeline(), IsEmpty());
    // A plain field is typed into.
    ax.set(field, "AXSubrole", "");
    EXPECT_EQ(result(R"({"op":"type","text":"hi","pid":412})"), json::parse(R"({"ok":true})"));
    EXPECT_THAT(timeline(), ElementsAre("post pid 412 key 0 down text \"hi\"", "pause 6000",
                                        "post pid 412 key 0 up text \"hi\"", "pause 6000"));
}

// When the application holding the focus does not answer, the field may be a
// password field: nothing is typed. Where nothing has focus, or accessibility
// is not there at all, typing goes ahead.
TEST_F(Operations, TypeRefusesWhenTheFocusCannotBeChecked) {
    auto& ax = fake::desktop().ax;
    int app = ax.app(412);
    int field = ax.child(ax.window(app), "AXTextField");
    ax.focus(field);
    const std::string refused = "Could not check the focused field/secure_field";
    // The focus read itself, of the application and system-wide.
    ax.fail(app, "AXFocusedUIElement", platform::kAXErrorCannotComplete);
    ax.fail(ax.systemWide(), "AXFocusedUIElement", platform::kAXErrorCannotComplete);
    EXPECT_EQ(error(R"({"op":"type","text":"hunter2","pid":412})"), refused);
    EXPECT_EQ(error(R"({"op":"type","text":"hunter2"})"), refused);
    EXPECT_THAT(timeline(), IsEmpty());
    // The focused element found, its role or subrole not answered.
    ax.node(app).readErrors.clear();
    ax.node(ax.systemWide()).readErrors.clear();
    for (const char* attribute : {"AXRole", "AXSubrole"}) {
        ax.node(field).readErrors = {{attribute, platform::kAXErrorCannotComplete}};
        EXPECT_EQ(error(R"({"op":"type","text":"hunter2","pid":412})"), refused) << attribute;
        EXPECT_EQ(error(R"({"op":"type","text":"hunter2"})"), refused) << attribute;
        EXPECT_THAT(timeline(), IsEmpty());
    }
    // Other faults are not a silent application: the field reads as not secure.
    for (platform::AXError other : {platform::kAXErrorFailure, platform::kAXErrorInvalidUIElement,
                                    platform::kAXErrorAPIDisabled, platform::kAXErrorNoValue}) {
        ax.node(field).readErrors = {{"AXRole", other}, {"AXSubrole", other}};
        fake::desktop().log.clear();
        EXPECT_EQ(result(R"({"op":"type","text":"a","pid":412})"), json::parse(R"({"ok":true})")) << other;
        EXPECT_EQ(timeline().size(), 4u) << other;
    }
    // Nothing focused, or no accessibility at all: typed.
    ax.node(field).readErrors.clear();
    for (platform::AXError none : {platform::kAXErrorNoValue, platform::kAXErrorAPIDisabled}) {
        ax.fail(app, "AXFocusedUIElement", none);
        ax.fail(ax.systemWide(), "AXFocusedUIElement", none);
        fake::desktop().log.clear();
        EXPECT_EQ(result(R"({"op":"type","text":"a","pid":412})"), json::parse(R"({"ok":true})")) << none;
        EXPECT_EQ(result(R"({"op":"type","text":"a"})"), json::parse(R"({"ok":true})")) << none;
        EXPECT_EQ(timeline().size(), 8u) << none;
    }
    // A password field whose check timed out afterwards is still a password field.
    ax.node(app).readErrors.clear();
    ax.set(field, "AXRole", "AXSecureTextField");
    ax.node(field).readErrors = {{"AXSubrole", platform::kAXErrorCannotComplete}};
    fake::desktop().log.clear();
    EXPECT_EQ(error(R"({"op":"type","text":"hunter2","pid":412})"), "A password field has focus/secure_field");
    EXPECT_THAT(timeline(), IsEmpty());
}

TEST_F(Operations, TypeDefaultsToEmptyTextAndSystemWide) {
    EXPECT_EQ(result(R"({"op":"type"})"), json::parse(R"({"ok":true})"));
    EXPECT_EQ(result(R"({"op":"type","text":5})"), json::parse(R"({"ok":true})"));
    EXPECT_THAT(timeline(), IsEmpty());
    EXPECT_EQ(result(R"({"op":"type","text":"a\nb"})"), json::parse(R"({"ok":true})"));
    EXPECT_THAT(timeline(), ElementsAre("post tap 0 key 0 down text \"a\"", "pause 6000",
                                        "post tap 0 key 0 up text \"a\"", "pause 6000",
                                        "post tap 0 key 36 down flags 0x0", "pause 8000",
                                        "post tap 0 key 36 up flags 0x0", "pause 8000",
                                        "post tap 0 key 0 down text \"b\"", "pause 6000",
                                        "post tap 0 key 0 up text \"b\"", "pause 6000"));
}

TEST_F(Operations, EveryNameIsServed) {
    for (const char* op : {"permissions", "request_permission", "apps", "frontmost", "windows", "at", "display",
                           "focus_info", "mouse", "drag", "type", "key", "scroll", "activate", "launch", "ax_tree",
                           "ax_press_at", "ax_press", "ax_focus", "ax_info", "ax_set"}) {
        std::string line = std::string(R"({"op":")") + op + R"(","x":1,"y":1,"pid":1,"path":"0"})";
        EXPECT_NE(error(line), "Unknown request/bad_args") << op;
    }
}

}  // namespace
