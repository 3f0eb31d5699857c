#include "ax/focus.h"

#include "ax_support.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using nlohmann::json;

class Focus : public axtest::AxTest {};

TEST_F(Focus, NothingFocusedStillReportsSecureInput) {
    for (bool on : {false, true}) {
        fake::reset();
        fake::desktop().secureInput = on;
        EXPECT_EQ(ax::focusInfo(std::nullopt), (json{{"secureInput", on}, {"secure", false}}));
        int sw = ax().systemWide();
        // Secure input first; the system-wide element keeps the platform's timeout.
        EXPECT_THAT(log(), ElementsAre("secure-input?", "system-wide", "read " + id(sw) + " AXFocusedUIElement"));
    }
}

TEST_F(Focus, DescribesTheFocusedElement) {
    fake::desktop().secureInput = true;
    int app = ax().app(412);
    int field = ax().child(ax().window(app), "AXTextField");
    ax().set(field, "AXSubrole", "AXSearchField");
    ax().focus(field);
    json expected = {{"secureInput", true}, {"role", "AXTextField"}, {"subrole", "AXSearchField"}, {"secure", false}};
    EXPECT_EQ(ax::focusInfo(std::nullopt), expected);
    clearLog();
    EXPECT_EQ(ax::focusInfo(412), expected);
    const std::string r = "read " + id(field) + " ";
    EXPECT_THAT(log(), ElementsAre("secure-input?", "app 412", "timeout " + id(app) + " 2.0",
                                   "read " + id(app) + " AXFocusedUIElement", r + "AXRole", r + "AXSubrole",
                                   r + "AXRole", r + "AXSubrole"));
}

TEST_F(Focus, SecureFieldsByRoleOrSubrole) {
    int byRole = ax().element("AXSecureTextField");
    ax().focus(byRole);
    EXPECT_EQ(ax::focusInfo(std::nullopt),
              (json{{"secureInput", false}, {"role", "AXSecureTextField"}, {"subrole", ""}, {"secure", true}}));
    int bySubrole = ax().element("AXTextField");
    ax().set(bySubrole, "AXSubrole", "AXSecureTextField");
    ax().focus(bySubrole);
    EXPECT_EQ(ax::focusInfo(std::nullopt),
              (json{{"secureInput", false}, {"role", "AXTextField"}, {"subrole", "AXSecureTextField"}, {"secure", true}}));
    ax().focus(ax().element());
    EXPECT_EQ(ax::focusInfo(std::nullopt),
              (json{{"secureInput", false}, {"role", ""}, {"subrole", ""}, {"secure", false}}));
}

TEST_F(Focus, NoElementMeansNoRole) {
    EXPECT_EQ(ax::focusInfo(999), (json{{"secureInput", false}, {"secure", false}}));
    int sw = ax().systemWide();
    ax().set(sw, "AXFocusedUIElement", "AXTextField");  // not an element
    EXPECT_EQ(ax::focusInfo(std::nullopt), (json{{"secureInput", false}, {"secure", false}}));
    ax().set(sw, "AXFocusedUIElement", fake::El{ax().element("AXSecureTextField")});
    ax().fail(sw, "AXFocusedUIElement", platform::kAXErrorFailure);
    EXPECT_EQ(ax::focusInfo(std::nullopt), (json{{"secureInput", false}, {"secure", false}}));
}

// An application that does not answer in time leaves the focus unknown: the
// record says so, and nothing else about it changes.
TEST_F(Focus, ATimedOutReadIsReported) {
    int sw = ax().systemWide();
    ax().fail(sw, "AXFocusedUIElement", platform::kAXErrorCannotComplete);
    EXPECT_EQ(ax::focusInfo(std::nullopt), (json{{"secureInput", false}, {"secure", false}, {"timedOut", true}}));
    int app = ax().app(412);
    int field = ax().child(ax().window(app), "AXTextField");
    ax().focus(field);
    ax().fail(field, "AXSubrole", platform::kAXErrorCannotComplete);
    EXPECT_EQ(ax::focusInfo(412), (json{{"secureInput", false}, {"role", "AXTextField"}, {"subrole", ""},
                                        {"secure", false}, {"timedOut", true}}));
    // Answered in full again: no trace of the earlier timeout.
    ax().node(field).readErrors.clear();
    EXPECT_EQ(ax::focusInfo(412),
              (json{{"secureInput", false}, {"role", "AXTextField"}, {"subrole", ""}, {"secure", false}}));
}

class PressAt : public axtest::AxTest {
protected:
    int app = 0;
    std::vector<int> chain;  // chain[0] is the window, each next one a child of the one before
    void SetUp() override {
        AxTest::SetUp();
        app = ax().app(412);
        chain.push_back(ax().window(app));
        for (int i = 0; i < 7; ++i) chain.push_back(ax().child(chain.back(), "AXGroup"));
        ax().hit(app, chain.back());
    }
    json press(double x = 10, double y = 20) { return ax::pressAt(412, {x, y}); }
    // The accessibility agent never does anything but these calls here.
    void expectOnlyAccessibilityCalls() {
        for (const auto& l : log()) {
            auto word = l.substr(0, l.find(' '));
            EXPECT_TRUE(word == "app" || word == "timeout" || word == "at" || word == "actions" || word == "read" ||
                        word == "perform")
                << l;
        }
    }
};

TEST_F(PressAt, NothingUnderThePointPressesNothing) {
    ax().hit(app, 0);
    EXPECT_EQ(press(), (json{{"ok", false}}));
    ax().hit(app, chain.back(), platform::kAXErrorCannotComplete);
    EXPECT_EQ(press(), (json{{"ok", false}}));
    EXPECT_EQ(ax::pressAt(999, {1, 2}), (json{{"ok", false}}));
    EXPECT_THAT(lines("perform"), IsEmpty());
    EXPECT_THAT(lines("actions"), IsEmpty());
    expectOnlyAccessibilityCalls();
}

TEST_F(PressAt, ClimbsFromALabelToItsButton) {
    int button = chain[6];
    ax().set(button, "AXRole", "AXButton").actions(button, {"AXShowMenu", "AXPress"});
    ax().set(chain[7], "AXRole", "AXStaticText");
    EXPECT_EQ(press(10.5, 20.25), (json{{"ok", true}, {"role", "AXButton"}}));
    const std::string label = id(chain[7]);
    EXPECT_THAT(log(), ElementsAre("app 412", "timeout " + id(app) + " 2.0", "at " + id(app) + " 10.5 20.25",
                                   "actions " + label, "read " + label + " AXParent", "actions " + id(button),
                                   "perform " + id(button) + " AXPress", "read " + id(button) + " AXRole"));
}

TEST_F(PressAt, ExaminesSixElementsAtMost) {
    ax().actions(chain[2], {"AXPress"});  // five levels above the element under the point
    EXPECT_EQ(press()["ok"], true);
    EXPECT_THAT(lines("perform"), ElementsAre("perform " + id(chain[2]) + " AXPress"));
    clearLog();
    ax().actions(chain[2], {});
    ax().actions(chain[1], {"AXPress"});  // six levels above: never examined
    EXPECT_EQ(press(), (json{{"ok", false}}));
    EXPECT_THAT(lines("actions"), ::testing::SizeIs(6));
    EXPECT_THAT(lines("actions " + id(chain[1])), IsEmpty());
    EXPECT_THAT(lines("perform"), IsEmpty());
    expectOnlyAccessibilityCalls();
}

TEST_F(PressAt, ARejectedPressIsNotRetriedHigher) {
    ax().actions(chain[7], {"AXPress"}).actions(chain[6], {"AXPress"});
    ax().node(chain[7]).performResults["AXPress"] = platform::kAXErrorCannotComplete;
    EXPECT_EQ(press(), (json{{"ok", false}, {"role", "AXGroup"}}));
    EXPECT_THAT(lines("perform"), ElementsAre("perform " + id(chain[7]) + " AXPress"));
}

TEST_F(PressAt, RoleIsReadAfterThePress) {
    int target = chain[7];
    ax().actions(target, {"AXPress"});
    ax().node(target).onPerform["AXPress"] = [this, target] { ax().node(target).gone = true; };
    EXPECT_EQ(press(), (json{{"ok", true}, {"role", ""}}));
}

TEST_F(PressAt, MalformedActionsAndBrokenParentsStopNothingBadly) {
    ax().node(chain[7]).actions = fake::AxValue::Array{"AXPress", 1};  // not a list of names
    ax().node(chain[6]).actionsError = platform::kAXErrorCannotComplete;
    ax().node(chain[5]).actions = "AXPress";
    ax().actions(chain[4], {"AXPress"});
    EXPECT_EQ(press(), (json{{"ok", true}, {"role", "AXGroup"}}));
    EXPECT_THAT(lines("perform"), ElementsAre("perform " + id(chain[4]) + " AXPress"));

    ax().set(chain[6], "AXParent", "up");  // the climb ends here
    clearLog();
    EXPECT_EQ(press(), (json{{"ok", false}}));
    EXPECT_THAT(lines("actions"), ::testing::SizeIs(2));
}

TEST_F(PressAt, CoordinatesGoOutInSinglePrecision) {
    ax().hit(app, 0);
    press(0.1, -3e38);
    press(1e300, -1e300);
    EXPECT_THAT(lines("at"), ElementsAre("at " + id(app) + " 0.1 -3e+38", "at " + id(app) + " inf -inf"));
}

}  // namespace
