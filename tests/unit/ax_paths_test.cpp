#include "ax/paths.h"

#include "ax_support.h"
#include "channel/failure.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(PathReader, IsLenientAboutComponents) {
    EXPECT_THAT(ax::parsePath(""), IsEmpty());
    EXPECT_THAT(ax::parsePath("."), IsEmpty());
    EXPECT_THAT(ax::parsePath("abc"), IsEmpty());
    EXPECT_THAT(ax::parsePath("0"), ElementsAre(0));
    EXPECT_THAT(ax::parsePath("1.0.4"), ElementsAre(1, 0, 4));
    for (const char* same : {"0..1", ".0.1", "0.1.", "0.x.1", "0.1e.1"}) EXPECT_THAT(ax::parsePath(same), ElementsAre(0, 1)) << same;
    EXPECT_THAT(ax::parsePath("0. 1"), ElementsAre(0));
    EXPECT_THAT(ax::parsePath("0.1 "), ElementsAre(0));
    EXPECT_THAT(ax::parsePath("+1.007"), ElementsAre(1, 7));
    EXPECT_THAT(ax::parsePath("-1.0.-0"), ElementsAre(-1, 0, 0));
    EXPECT_THAT(ax::parsePath("+.-.+-1.1+1"), IsEmpty());
    EXPECT_THAT(ax::parsePath("0.\xd9\xa3"), ElementsAre(0));  // a non-ASCII digit is not a digit
}

TEST(PathReader, KeepsSixtyFourBitRangeExactly) {
    EXPECT_THAT(ax::parsePath("9223372036854775807"), ElementsAre(INT64_MAX));
    EXPECT_THAT(ax::parsePath("-9223372036854775808"), ElementsAre(INT64_MIN));
    EXPECT_THAT(ax::parsePath("9223372036854775808.2"), ElementsAre(2));
    EXPECT_THAT(ax::parsePath("-9223372036854775809.3"), ElementsAre(3));
    EXPECT_THAT(ax::parsePath("000000000000000000000000000005"), ElementsAre(5));
    EXPECT_THAT(ax::parsePath("99999999999999999999999"), IsEmpty());
}

class Resolve : public axtest::AxTest {
protected:
    int app = 0, w0 = 0, w1 = 0;
    std::vector<int> kids;  // five children of the first window
    int grandchild = 0;

    void SetUp() override {
        AxTest::SetUp();
        app = ax().app(412);
        w0 = ax().window(app);
        w1 = ax().window(app);
        for (int i = 0; i < 5; ++i) kids.push_back(ax().child(w0, "AXButton"));
        grandchild = ax().child(kids[1], "AXStaticText");
    }
    int resolved(const char* path) {
        platform::Element e = ax::resolve(412, path);
        return fake::idOf(e.get());
    }
    bool stale(std::int32_t pid, const char* path) {
        try {
            platform::Element e = ax::resolve(pid, path);
            return false;
        } catch (const channel::Failure& f) {
            EXPECT_EQ(f.message, "That element is gone. Read ui_tree again.");
            EXPECT_EQ(f.code, "stale_element");
            return true;
        }
    }
};

TEST_F(Resolve, WalksWindowsThenChildren) {
    EXPECT_EQ(resolved("0"), w0);
    EXPECT_EQ(resolved("1"), w1);
    EXPECT_EQ(resolved("0.0"), kids[0]);
    EXPECT_EQ(resolved("0.4"), kids[4]);
    EXPECT_EQ(resolved("0.1.0"), grandchild);
    EXPECT_EQ(resolved("0..1.x.0."), grandchild);
    EXPECT_EQ(resolved("+0.004"), kids[4]) << "leading zeros and sign";
    EXPECT_EQ(resolved("0. 1"), w0);
    EXPECT_EQ(live(), 0);
}

TEST_F(Resolve, ReadsOnlyWhatThePathNeeds) {
    clearLog();
    resolved("0.1.0");
    EXPECT_THAT(log(), ElementsAre("app 412", "timeout " + id(app) + " 2.0", "read " + id(app) + " AXWindows",
                                   "read " + id(w0) + " AXChildren", "read " + id(kids[1]) + " AXChildren"));
}

TEST_F(Resolve, EveryDeadEndIsStaleAndReleasesAll) {
    for (const char* path : {"", ".", "abc", "-1", "2", "0.-1", "0.5", "0.1.1", "0.0.0", "0.1.0.0", "1.0",
                             "9223372036854775807", "0.-9223372036854775808"})
        EXPECT_TRUE(stale(412, path)) << path;
    EXPECT_TRUE(stale(7, "0"));  // no such application
    EXPECT_EQ(live(), 0);
}

TEST_F(Resolve, WindowsAreReadEvenForAnEmptyPath) {
    clearLog();
    EXPECT_TRUE(stale(412, ".."));
    EXPECT_THAT(lines("read"), ElementsAre("read " + id(app) + " AXWindows"));
}

TEST_F(Resolve, UnreadableOrMalformedChildrenEndThePath) {
    ax().fail(kids[1], "AXChildren", platform::kAXErrorCannotComplete);
    EXPECT_TRUE(stale(412, "0.1.0"));
    ax().node(kids[1]).readErrors.clear();
    auto mixed = fake::elements({grandchild});
    mixed.emplace_back(3);
    ax().set(kids[1], "AXChildren", mixed);
    EXPECT_TRUE(stale(412, "0.1.0"));
    EXPECT_EQ(live(), 0);
}

TEST_F(Resolve, FollowsPositionsNotIdentities) {
    // The first window goes away: "0" now names what was the second window.
    ax().set(app, "AXWindows", fake::elements({w1}));
    EXPECT_EQ(resolved("0"), w1);
    EXPECT_TRUE(stale(412, "1"));
}

}  // namespace
