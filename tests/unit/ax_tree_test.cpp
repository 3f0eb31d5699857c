#include "ax/tree.h"

#include "ax_support.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using nlohmann::json;

class Tree : public axtest::AxTest {
protected:
    int app = 0;
    void SetUp() override {
        AxTest::SetUp();
        app = ax().app(412);
    }
    json snapshot(std::int64_t depth = 8, std::int64_t max = 300) { return ax::tree(412, depth, max); }
    static std::vector<std::string> ids(const json& snap) {
        std::vector<std::string> out;
        for (const auto& r : snap["elements"]) out.push_back(r["id"]);
        return out;
    }
    // Every call made on one element, in order.
    std::vector<std::string> callsOn(int e) {
        std::vector<std::string> out;
        for (const auto& l : log()) {
            auto first = l.find(' ');
            auto second = l.find(' ', first + 1);
            if (first != std::string::npos && l.substr(first + 1, second - first - 1) == id(e)) out.push_back(l);
        }
        return out;
    }
};

TEST_F(Tree, RecordsEveryKeyInTheReadOrder) {
    int w = ax().window(app);
    ax().set(w, "AXTitle", "Main").set(w, "AXDescription", "").set(w, "AXValue", "")
        .set(w, "AXPosition", platform::Point{1, 2}).set(w, "AXSize", platform::Size{30, 40.5})
        .actions(w, {"AXRaise"});
    ax().child(w, "AXButton");
    json snap = snapshot();
    EXPECT_EQ(snap["elements"][0], json::parse(R"({"id":"0","role":"AXWindow","title":"Main",
        "frame":{"x":1.0,"y":2.0,"w":30.0,"h":40.5},"actions":["AXRaise"]})"));
    const std::string r = "read " + id(w) + " ";
    EXPECT_THAT(callsOn(w), ElementsAre(r + "AXRole", r + "AXTitle", r + "AXDescription", r + "AXRole",
                                        r + "AXSubrole", r + "AXValue", r + "AXPosition", r + "AXSize",
                                        "actions " + id(w), r + "AXChildren"));
    EXPECT_EQ(snap["truncated"], false);
}

TEST_F(Tree, SecureFieldIsMarkedAndItsValueNeverRead) {
    int w = ax().window(app);
    int byRole = ax().child(w, "AXSecureTextField");
    ax().set(byRole, "AXValue", "hunter2");
    int bySubrole = ax().child(w, "AXTextField");
    ax().set(bySubrole, "AXSubrole", "AXSecureTextField").set(bySubrole, "AXValue", "hunter2");
    json snap = snapshot();
    for (int i : {1, 2}) {
        EXPECT_EQ(snap["elements"][i]["secure"], true);
        EXPECT_FALSE(snap["elements"][i].contains("value"));
    }
    EXPECT_EQ(snap["elements"][2]["role"], "AXTextField");
    EXPECT_THAT(lines("read " + id(byRole) + " AXValue"), IsEmpty());
    EXPECT_THAT(lines("read " + id(bySubrole) + " AXValue"), IsEmpty());
    EXPECT_THAT(lines("read " + id(byRole) + " AXSubrole"), IsEmpty());
    EXPECT_EQ(snap.dump().find("hunter2"), std::string::npos);
}

TEST_F(Tree, ValuesKeepTheirKind) {
    int w = ax().window(app);
    auto valued = [&](fake::AxValue v) {
        int e = ax().child(w, "AXCheckBox");
        ax().set(e, "AXValue", std::move(v));
    };
    valued(1);
    valued(0.25);
    valued("x");
    valued("");
    valued(true);
    valued(std::nan(""));
    valued(fake::El{w});
    valued(platform::Point{1, 1});
    valued(fake::AxValue::Array{});
    json els = snapshot()["elements"];
    ASSERT_EQ(els.size(), 10u);
    EXPECT_TRUE(els[1]["value"].is_number_integer());
    EXPECT_EQ(els[1]["value"], 1);
    EXPECT_EQ(els[2]["value"], 0.25);
    EXPECT_EQ(els[3]["value"], "x");
    for (int i = 4; i < 10; ++i) EXPECT_FALSE(els[i].contains("value")) << i;
}

TEST_F(Tree, TextsAndActionsAreCut) {
    int w = ax().window(app);
    const std::string family = "\xf0\x9f\x91\xa8\xe2\x80\x8d\xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x91\xa7";
    std::string title(121, 't');
    std::string description;
    for (int i = 0; i < 121; ++i) description += family;
    std::string value(200, 'v');
    ax().set(w, "AXTitle", title).set(w, "AXDescription", description).set(w, "AXValue", value + "w");
    ax().actions(w, {"A1", "A2", "A3", "A4", "A5", "A6", "A7", "A8", "A9"});
    int single = ax().child(w);
    ax().set(single, "AXTitle", family);
    json els = snapshot()["elements"];
    EXPECT_EQ(els[0]["title"], title.substr(0, 120));
    EXPECT_EQ(els[0]["description"], description.substr(0, 120 * family.size()));
    EXPECT_EQ(els[0]["value"], value);
    EXPECT_EQ(els[0]["actions"], json::parse(R"(["A1","A2","A3","A4","A5","A6"])"));
    EXPECT_EQ(els[1], (json{{"id", "0.0"}, {"role", ""}, {"title", family}}));
}

TEST_F(Tree, MalformedAnswersLeaveKeysOut) {
    int w = ax().window(app);
    ax().set(w, "AXTitle", 7).set(w, "AXRole", platform::Other{});
    ax().node(w).actions = fake::AxValue::Array{"AXPress", 3};
    int failing = ax().child(w, "AXButton");
    ax().node(failing).actionsError = platform::kAXErrorCannotComplete;
    int notArray = ax().child(w, "AXButton");
    ax().node(notArray).actions = "AXPress";
    ax().set(notArray, "AXChildren", "nonsense");
    json els = snapshot()["elements"];
    EXPECT_EQ(els, json::parse(R"([{"id":"0","role":""},{"id":"0.0","role":"AXButton"},
                                    {"id":"0.1","role":"AXButton"}])"));
}

// Reads the application did not answer in time count as absent and mark the
// answer; other faults do not, and an answering application's answer has
// exactly the two keys.
TEST_F(Tree, TimedOutReadsAreReported) {
    int w = ax().window(app);
    int button = ax().child(w, "AXButton");
    ax().set(button, "AXTitle", "OK");
    int label = ax().child(w, "AXStaticText");
    json whole = snapshot();
    EXPECT_EQ(whole, json::parse(R"({"elements":[{"id":"0","role":"AXWindow"},
        {"id":"0.0","role":"AXButton","title":"OK"},{"id":"0.1","role":"AXStaticText"}],"truncated":false})"));

    ax().fail(button, "AXTitle", platform::kAXErrorCannotComplete);
    json partial = snapshot();
    EXPECT_EQ(partial["timedOut"], true);
    EXPECT_EQ(partial["elements"], json::parse(R"([{"id":"0","role":"AXWindow"},{"id":"0.0","role":"AXButton"},
        {"id":"0.1","role":"AXStaticText"}])"));
    ax().node(button).readErrors.clear();
    ax().node(label).actionsError = platform::kAXErrorCannotComplete;
    EXPECT_EQ(snapshot()["timedOut"], true);
    ax().node(label).actionsError = platform::kAXErrorFailure;
    ax().fail(button, "AXTitle", platform::kAXErrorInvalidUIElement);
    EXPECT_FALSE(snapshot().contains("timedOut"));
    ax().node(button).readErrors.clear();
    ax().node(label).actionsError = platform::kAXErrorSuccess;

    // No window list at all: empty, but not the same as an application without windows.
    ax().fail(app, "AXWindows", platform::kAXErrorCannotComplete);
    EXPECT_EQ(snapshot(), json::parse(R"({"elements":[],"truncated":false,"timedOut":true})"));
    ax().fail(app, "AXWindows", platform::kAXErrorNoValue);
    EXPECT_EQ(snapshot(), json::parse(R"({"elements":[],"truncated":false})"));
}

TEST_F(Tree, DepthFirstPreOrderWithPathIds) {
    int w0 = ax().window(app);
    int w1 = ax().window(app);
    std::vector<int> c;
    for (int i = 0; i < 4; ++i) c.push_back(ax().child(w0));
    ax().child(c[0]);
    for (int i = 0; i < 3; ++i) ax().child(c[3]);
    ax().child(w1);
    EXPECT_THAT(ids(snapshot()), ElementsAre("0", "0.0", "0.0.0", "0.1", "0.2", "0.3", "0.3.0", "0.3.1",
                                             "0.3.2", "1", "1.0"));
}

TEST_F(Tree, DepthLimitsNestingWithoutTruncating) {
    int w0 = ax().window(app);
    int w1 = ax().window(app);
    int c = ax().child(w0);
    ax().child(c);
    for (std::int64_t depth : std::initializer_list<std::int64_t>{1, 0, -1, INT64_MIN}) {
        clearLog();
        json snap = snapshot(depth);
        EXPECT_THAT(ids(snap), ElementsAre("0", "1")) << depth;
        EXPECT_EQ(snap["truncated"], false);
        EXPECT_THAT(lines("read " + id(w0) + " AXChildren"), IsEmpty());
        EXPECT_EQ(snap["elements"][0]["role"], "AXWindow");  // a full record all the same
    }
    EXPECT_THAT(ids(snapshot(2)), ElementsAre("0", "0.0", "1"));
    clearLog();
    snapshot(2);
    EXPECT_THAT(lines("read " + id(c) + " AXChildren"), IsEmpty());
    EXPECT_THAT(lines("read " + id(w1) + " AXChildren"), ElementsAre("read " + id(w1) + " AXChildren"));
    EXPECT_THAT(ids(snapshot(INT64_MAX)), ElementsAre("0", "0.0", "0.0.0", "1"));
}

TEST_F(Tree, CapIsTestedBeforeAnythingIsRead) {
    int w0 = ax().window(app);
    int w1 = ax().window(app);
    for (std::int64_t max : std::initializer_list<std::int64_t>{0, -5, INT64_MIN}) {
        clearLog();
        EXPECT_EQ(snapshot(8, max), json::parse(R"({"elements":[],"truncated":true})")) << max;
        EXPECT_THAT(callsOn(w0), IsEmpty());
    }
    clearLog();
    json snap = snapshot(8, 1);
    EXPECT_THAT(ids(snap), ElementsAre("0"));
    EXPECT_EQ(snap["truncated"], true);
    EXPECT_THAT(callsOn(w1), IsEmpty());
}

TEST_F(Tree, TruncatedOnlyWhenAnElementWasLeftOut) {
    int w0 = ax().window(app);
    int a = ax().child(w0);
    ax().child(a);
    ax().child(w0);
    ax().window(app);  // five elements in all
    json exact = snapshot(8, 5);
    EXPECT_EQ(exact["elements"].size(), 5u);
    EXPECT_EQ(exact["truncated"], false);
    json less = snapshot(8, 4);
    EXPECT_THAT(ids(less), ElementsAre("0", "0.0", "0.0.0", "0.1"));
    EXPECT_EQ(less["truncated"], true);
    // Outside the depth limit nothing counts as left out.
    json shallow = snapshot(1, 2);
    EXPECT_THAT(ids(shallow), ElementsAre("0", "1"));
    EXPECT_EQ(shallow["truncated"], false);
    // A full list with only deeper elements left: the parent is recorded, the child reached.
    json cut = snapshot(8, 2);
    EXPECT_THAT(ids(cut), ElementsAre("0", "0.0"));
    EXPECT_EQ(cut["truncated"], true);
}

TEST_F(Tree, NoApplicationOrNoWindowsIsEmpty) {
    EXPECT_EQ(ax::tree(999, 8, 300), json::parse(R"({"elements":[],"truncated":false})"));
    EXPECT_EQ(snapshot(), json::parse(R"({"elements":[],"truncated":false})"));
    ax().set(app, "AXWindows", fake::elements({})).fail(app, "AXWindows", platform::kAXErrorAPIDisabled);
    EXPECT_EQ(snapshot(), json::parse(R"({"elements":[],"truncated":false})"));
}

// A chain of 100,000 nested elements: the walk's nesting lives on the heap,
// and a hostile depth limit is bounded by the cap and by the size of the ids.
class DeepTree : public Tree {
protected:
    void SetUp() override {
        Tree::SetUp();
        ax().quiet = true;
        int at = ax().window(app);
        for (int i = 0; i < 100000; ++i) at = ax().child(at, "AXGroup");
    }
};

TEST_F(DeepTree, CapBoundsTheWalk) {
    json snap = snapshot(1'000'000'000'000, 300);
    ASSERT_EQ(snap["elements"].size(), 300u);
    EXPECT_EQ(snap["truncated"], true);
    std::string last = "0";
    for (int i = 1; i < 300; ++i) last += ".0";
    EXPECT_EQ(snap["elements"][299]["id"], last);
}

TEST_F(DeepTree, HostileDepthAndCapStillFinish) {
    json snap = snapshot(1'000'000'000'000, 1'000'000'000'000);
    auto n = snap["elements"].size();
    EXPECT_GT(n, 1000u);     // far deeper than any recursion would like
    EXPECT_LT(n, 100001u);   // but the ids' size stopped it
    EXPECT_EQ(snap["truncated"], true);
    const std::string& deepest = snap["elements"][n - 1]["id"].get_ref<const std::string&>();
    EXPECT_EQ(deepest.size(), 2 * n - 1);
}

}  // namespace
