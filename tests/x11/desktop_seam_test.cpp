// The desktop half of the Linux backend through the seam: rectangles, and
// what every query answers when there is no display.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/platform.h"

namespace {

using namespace platform;

TEST(DesktopRects, DecodesWindowBoundsDictionaries) {
    Rect r;
    ASSERT_TRUE(cgRectMakeWithDictionaryRepresentation(
        Value(Dictionary{{"X", 10.5}, {"Y", -20.0}, {"Width", 300.0}, {"Height", 200.0}}), r));
    EXPECT_EQ(r.origin.x, 10.5);
    EXPECT_EQ(r.origin.y, -20.0);
    EXPECT_EQ(r.size.width, 300.0);
    EXPECT_EQ(r.size.height, 200.0);
    // Integers are numbers too, and the order of the keys does not matter.
    ASSERT_TRUE(cgRectMakeWithDictionaryRepresentation(
        Value(Dictionary{{"Height", 4}, {"Width", 3}, {"Y", 2}, {"X", 1}}), r));
    EXPECT_EQ(r.origin.x, 1.0);
    EXPECT_EQ(r.size.height, 4.0);

    Rect untouched{{7, 7}, {7, 7}};
    for (const Value& bad : {Value(Dictionary{{"X", 1.0}, {"Y", 2.0}, {"Width", 3.0}}),
                             Value(Dictionary{{"X", "1"}, {"Y", 2.0}, {"Width", 3.0}, {"Height", 4.0}}),
                             Value(Array{1.0, 2.0, 3.0, 4.0}), Value()}) {
        EXPECT_FALSE(cgRectMakeWithDictionaryRepresentation(bad, untouched));
        EXPECT_EQ(untouched.origin.x, 7.0);
    }
}

TEST(DesktopRects, ContainsIncludesOnlyTheMinimumEdges) {
    Rect r{{10, 20}, {100, 50}};
    EXPECT_TRUE(cgRectContainsPoint(r, {10, 20}));
    EXPECT_TRUE(cgRectContainsPoint(r, {109.9, 69.9}));
    EXPECT_FALSE(cgRectContainsPoint(r, {110, 30}));
    EXPECT_FALSE(cgRectContainsPoint(r, {50, 70}));
    EXPECT_FALSE(cgRectContainsPoint(r, {9.9, 30}));
    EXPECT_FALSE(cgRectContainsPoint({{10, 20}, {0, 50}}, {10, 20}));
    EXPECT_FALSE(cgRectContainsPoint({{10, 20}, {-5, 50}}, {8, 30}));
}

// Each test runs in a process of its own, so the connection is first
// attempted here, without a display.
TEST(DesktopWithoutDisplay, EveryQueryIsEmptyOrFalse) {
    ::unsetenv("DISPLAY");
    EXPECT_TRUE(cgWindowListCopyWindowInfo(0, kCGNullWindowID).isNone());
    EXPECT_EQ(cgMainDisplayID(), 0u);
    Rect bounds = cgDisplayBounds(cgMainDisplayID());
    EXPECT_EQ(bounds.size.width, 0.0);
    EXPECT_EQ(bounds.size.height, 0.0);
    EXPECT_FALSE(cgPreflightScreenCaptureAccess());
    EXPECT_FALSE(cgRequestScreenCaptureAccess());
    EXPECT_TRUE(runningApplications().empty());
    EXPECT_FALSE(frontmostApplication());
    EXPECT_FALSE(runningApplicationWithProcessIdentifier(static_cast<std::int32_t>(::getpid())));
    App none;
    EXPECT_FALSE(activateWithOptions(none, 0));
    EXPECT_FALSE(localizedName(none));
    EXPECT_FALSE(bundleIdentifier(none));
    EXPECT_NE(activationPolicy(none), NSApplicationActivationPolicyRegular);
}

TEST(DesktopLaunch, OnlyTheOpenCommandWithAnIdReachesALauncher) {
    TaskOutcome other = runTask("/bin/true", {});
    EXPECT_FALSE(other.started);
    EXPECT_FALSE(other.error.empty());
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"-b", "--version"}, {"-b", "a/b"}, {"-a", "Editor"}, {"-b"}}) {
        TaskOutcome refused = runTask("/usr/bin/open", bad);
        EXPECT_TRUE(refused.started);
        EXPECT_NE(refused.status, 0);
    }
}

}  // namespace
