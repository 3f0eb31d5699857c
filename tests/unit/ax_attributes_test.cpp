#include "ax/attributes.h"

#include "ax_support.h"

namespace {

using ::testing::ElementsAre;
using platform::Element;

class Attributes : public axtest::AxTest {
protected:
    // A fresh handle on a scripted element, as the platform would give one.
    static Element handle(int id) { return Element(fake::newRef(platform::HandleKind::element, id)); }
};

TEST_F(Attributes, StrAnswersOnlyStrings) {
    int e = ax().element("AXTextField");
    ax().set(e, "AXValue", 5).set(e, "AXTitle", "").set(e, "AXHelp", true).set(e, "AXLink", fake::El{e});
    Element el = handle(e);
    EXPECT_EQ(ax::str(el, "AXRole"), "AXTextField");
    EXPECT_EQ(ax::str(el, "AXValue"), std::nullopt);  // a number is not turned into text
    EXPECT_EQ(ax::str(el, "AXTitle"), "");            // present, though empty
    EXPECT_EQ(ax::str(el, "AXHelp"), std::nullopt);
    EXPECT_EQ(ax::str(el, "AXLink"), std::nullopt);   // the element handed out is given back
    EXPECT_EQ(ax::str(el, "AXMissing"), std::nullopt);
    EXPECT_EQ(ax::attr(el, "AXMissing"), std::nullopt);
}

TEST_F(Attributes, AFailedReadIsAbsentEvenWhenAValueCameBack) {
    int e = ax().element("AXGroup");
    int other = ax().element();
    ax().set(e, "AXTitle", "stale").fail(e, "AXTitle", platform::kAXErrorCannotComplete);
    ax().set(e, "AXChildren", fake::elements({other})).fail(e, "AXChildren", platform::kAXErrorNoValue);
    Element el = handle(e);
    EXPECT_EQ(ax::str(el, "AXTitle"), std::nullopt);
    EXPECT_TRUE(ax::children(el).empty());
    EXPECT_EQ(live(), 1);  // only `el` itself
}

TEST_F(Attributes, ChildrenKeepOrderAndRefuseMixedLists) {
    int parent = ax().element("AXGroup");
    int a = ax().child(parent, "AXButton");
    int b = ax().child(parent, "AXButton");
    {
        auto kids = ax::children(handle(parent));
        ASSERT_EQ(kids.size(), 2u);
        EXPECT_EQ(fake::idOf(kids[0].get()), a);
        EXPECT_EQ(fake::idOf(kids[1].get()), b);
    }
    auto list = fake::elements({a, b});
    list.emplace_back("not an element");
    ax().set(parent, "AXChildren", list);
    EXPECT_TRUE(ax::children(handle(parent)).empty());
    ax().set(parent, "AXChildren", fake::El{a});  // a single element, not an array
    EXPECT_TRUE(ax::children(handle(parent)).empty());
    EXPECT_TRUE(ax::children(handle(a)).empty());  // no "AXChildren" at all
    EXPECT_EQ(live(), 0);
}

TEST_F(Attributes, FrameNeedsBothWrappedValues) {
    int e = ax().element("AXButton");
    Element el = handle(e);
    EXPECT_EQ(ax::frame(el), std::nullopt);
    EXPECT_THAT(log(), ElementsAre("read " + id(e) + " AXPosition"));  // no size read without a position

    ax().set(e, "AXPosition", platform::Point{10, -20.5});
    EXPECT_EQ(ax::frame(el), std::nullopt);  // position but no size: nothing partial

    ax().set(e, "AXSize", platform::Point{3, 4});  // the wrong wrapped kind
    EXPECT_EQ(ax::frame(el), std::nullopt);

    ax().set(e, "AXSize", platform::Size{0, -4});  // passed on without checks
    EXPECT_EQ(ax::frame(el), (nlohmann::json{{"x", 10.0}, {"y", -20.5}, {"w", 0.0}, {"h", -4.0}}));

    ax().set(e, "AXPosition", platform::Size{1, 2});
    EXPECT_EQ(ax::frame(el), std::nullopt);
}

TEST_F(Attributes, FrameWithoutJsonTextIsAbsent) {
    int e = ax().element("AXButton");
    ax().set(e, "AXPosition", platform::Point{std::nan(""), 0}).set(e, "AXSize", platform::Size{1, 1});
    EXPECT_EQ(ax::frame(handle(e)), std::nullopt);
    ax().set(e, "AXPosition", platform::Point{0, 0}).set(e, "AXSize", platform::Size{HUGE_VAL, 1});
    EXPECT_EQ(ax::frame(handle(e)), std::nullopt);
}

TEST_F(Attributes, SecureByRoleOrSubroleExactly) {
    int byRole = ax().element("AXSecureTextField");
    ax().set(byRole, "AXSubrole", "AXSearchField");
    EXPECT_TRUE(ax::isSecure(handle(byRole)));
    EXPECT_THAT(log(), ElementsAre("read " + id(byRole) + " AXRole"));  // subrole not read

    int bySubrole = ax().element("AXTextField");
    ax().set(bySubrole, "AXSubrole", "AXSecureTextField");
    EXPECT_TRUE(ax::isSecure(handle(bySubrole)));

    int unreadableRole = ax().element("AXSecureTextField");
    ax().fail(unreadableRole, "AXRole", platform::kAXErrorCannotComplete).set(unreadableRole, "AXSubrole",
                                                                               "AXSecureTextField");
    EXPECT_TRUE(ax::isSecure(handle(unreadableRole)));

    int wrongCase = ax().element("axsecuretextfield");
    ax().set(wrongCase, "AXSubrole", "AXSecureTextField ");
    EXPECT_FALSE(ax::isSecure(handle(wrongCase)));

    EXPECT_FALSE(ax::isSecure(handle(ax().element())));
}

TEST_F(Attributes, AppElementHasTheTimeoutAndWindowsReleaseIt) {
    int app = ax().app(412);
    int w1 = ax().window(app);
    int w2 = ax().window(app);
    {
        auto list = ax::windows(412);
        ASSERT_EQ(list.size(), 2u);
        EXPECT_EQ(fake::idOf(list[0].get()), w1);
        EXPECT_EQ(fake::idOf(list[1].get()), w2);
        EXPECT_EQ(live(), 2);  // the application element is already gone
    }
    EXPECT_THAT(log(), ElementsAre("app 412", "timeout " + id(app) + " 2.0", "read " + id(app) + " AXWindows"));

    clearLog();
    EXPECT_TRUE(ax::windows(99).empty());
    EXPECT_THAT(log(), ElementsAre("app 99", "timeout 0 2.0", "read 0 AXWindows"));

    auto list = fake::elements({w1});
    list.emplace_back(platform::Other{});
    ax().set(app, "AXWindows", list);
    EXPECT_TRUE(ax::windows(412).empty());
}

}  // namespace
