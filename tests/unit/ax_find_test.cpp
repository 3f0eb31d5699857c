// Searching the tree ("ax_find"), waiting on it ("ax_wait"), and "expect" on
// the element operations, as a controller sees them, against the fake desktop.
#include "ax/find.h"
#include "ax_support.h"
#include "channel/json_line.h"
#include "channel/response.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using nlohmann::json;

class Find : public axtest::AxTest {
protected:
    int app = 0, win = 0, toolbar = 0, save = 0, cancel = 0, field = 0, password = 0, slider = 0;
    // Window "Editor" > toolbar > [Save, Cancel], field, password, slider.
    void SetUp() override {
        AxTest::SetUp();
        app = ax().app(412);
        win = ax().window(app);
        ax().set(win, "AXTitle", "Editor");
        toolbar = ax().child(win, "AXToolbar");
        save = ax().child(toolbar, "AXButton");
        ax().set(save, "AXTitle", "Save File").actions(save, {"AXPress"});
        cancel = ax().child(toolbar, "AXButton");
        ax().set(cancel, "AXTitle", "Cancel").set(cancel, "AXDescription", "Close without saving");
        ax().actions(cancel, {"AXPress"});
        field = ax().child(win, "AXTextField");
        ax().set(field, "AXValue", "Dear Éloïse");
        password = ax().child(win, "AXTextField");
        ax().set(password, "AXSubrole", "AXSecureTextField").set(password, "AXValue", "hunter2");
        slider = ax().child(win, "AXSlider");
        ax().set(slider, "AXValue", 42);
    }
    json answer(const std::string& line) {
        auto request = channel::parseRequest(line);
        if (!request) return "dropped";
        return json::parse(channel::respondLine(request->id, request->object));
    }
    json result(const std::string& line) { return answer(line)["result"]; }
    static std::vector<std::string> ids(const json& r) {
        std::vector<std::string> out;
        for (const auto& e : r["elements"]) out.push_back(e["id"]);
        return out;
    }
    static json error(const char* message, const char* code) {
        return {{"id", 1}, {"error", message}, {"code", code}};
    }
};

TEST_F(Find, MatchesEachKeyAndWritesTheTreesRecords) {
    EXPECT_THAT(ids(result(R"({"id":1,"op":"ax_find","pid":412,"role":"AXButton"})")), ElementsAre("0.0.0", "0.0.1"));
    EXPECT_THAT(ids(result(R"({"id":1,"op":"ax_find","pid":412,"role":"button"})")), IsEmpty());  // exact
    EXPECT_THAT(ids(result(R"({"id":1,"op":"ax_find","pid":412,"subrole":"AXSecureTextField"})")),
                ElementsAre("0.2"));
    // Titles regardless of case; "text" also looks at descriptions and values,
    // strings and numbers alike; keys together must all match.
    EXPECT_THAT(ids(result(R"({"id":1,"op":"ax_find","pid":412,"title":"sAVE f"})")), ElementsAre("0.0.0"));
    EXPECT_THAT(ids(result(R"({"id":1,"op":"ax_find","pid":412,"text":"without"})")), ElementsAre("0.0.1"));
    EXPECT_THAT(ids(result(R"({"id":1,"op":"ax_find","pid":412,"text":"42"})")), ElementsAre("0.3"));
    EXPECT_THAT(ids(result(R"({"id":1,"op":"ax_find","pid":412,"role":"AXButton","text":"sav"})")),
                ElementsAre("0.0.0", "0.0.1"));
    EXPECT_THAT(ids(result(R"({"id":1,"op":"ax_find","pid":412,"role":"AXWindow","title":"sav"})")), IsEmpty());
    // Case folding covers more than ASCII, and a decomposed accent matches a composed one.
    EXPECT_THAT(ids(result(R"({"id":1,"op":"ax_find","pid":412,"text":"ÉLOÏSE"})")), ElementsAre("0.1"));
    EXPECT_THAT(ids(result(R"({"id":1,"op":"ax_find","pid":412,"text":"e\u0301lo"})")), ElementsAre("0.1"));
    // No key matches everything, like a snapshot of the same size.
    json all = result(R"({"id":1,"op":"ax_find","pid":412})");
    json snap = result(R"({"id":1,"op":"ax_tree","pid":412})");
    EXPECT_EQ(all, snap);
}

TEST_F(Find, APasswordIsNeverReadNorMatchedByItsValue) {
    json r = result(R"({"id":1,"op":"ax_find","pid":412,"text":"hunter"})");
    EXPECT_EQ(r, json::parse(R"({"elements":[],"truncated":false})"));
    json secure = result(R"({"id":1,"op":"ax_find","pid":412,"subrole":"AXSecureTextField"})");
    EXPECT_EQ(secure["elements"][0], json::parse(R"({"id":"0.2","role":"AXTextField","secure":true})"));
    // Leaving "secure" out does not make the value readable.
    json bare = result(R"({"id":1,"op":"ax_tree","pid":412,"fields":["secure"]})");
    EXPECT_EQ(bare["elements"][5], json::parse(R"({"id":"0.2","role":"AXTextField"})"));
    EXPECT_THAT(lines("read " + id(password) + " AXValue"), IsEmpty());
}

TEST_F(Find, ReadsOnlyWhatTheMatchNeeds) {
    result(R"({"id":1,"op":"ax_find","pid":412,"role":"AXSlider"})");
    // Every element's role, nothing else of those that are not matched.
    for (int e : {win, toolbar, save, cancel, field, password}) {
        for (const char* other : {"AXTitle", "AXValue", "AXPosition", "AXSubrole"})
            EXPECT_THAT(lines("read " + id(e) + " " + other), IsEmpty()) << e << " " << other;
        EXPECT_THAT(lines("actions " + id(e)), IsEmpty());
    }
    EXPECT_THAT(lines("actions " + id(slider)), ElementsAre("actions " + id(slider)));
    // Fields left out are not read either.
    clearLog();
    json r = result(R"({"id":1,"op":"ax_find","pid":412,"role":"AXButton","fields":["frame","actions","x",7]})");
    EXPECT_EQ(r["elements"][0], json::parse(R"({"id":"0.0.0","role":"AXButton","title":"Save File"})"));
    EXPECT_THAT(lines("read " + id(save) + " AXPosition"), IsEmpty());
    EXPECT_THAT(lines("actions"), IsEmpty());
    clearLog();
    json t = result(R"({"id":1,"op":"ax_tree","pid":412,"fields":["title","description","value","frame","actions"]})");
    EXPECT_EQ(t["elements"][3], json::parse(R"({"id":"0.0.1","role":"AXButton"})"));
    EXPECT_THAT(lines("read " + id(cancel)), ElementsAre("read " + id(cancel) + " AXRole", "read " + id(cancel) + " AXRole",
                                                       "read " + id(cancel) + " AXSubrole",
                                                       "read " + id(cancel) + " AXChildren"));
}

TEST_F(Find, LimitsAndTruncation) {
    // More matches than max: the first ones, and the walk ends at the next.
    json two = result(R"({"id":1,"op":"ax_find","pid":412,"role":"AXTextField","max":1})");
    EXPECT_THAT(ids(two), ElementsAre("0.1"));
    EXPECT_EQ(two["truncated"], true);
    EXPECT_THAT(lines("read " + id(slider)), IsEmpty());
    // Exactly max: not truncated. max 0 says only whether any matched.
    EXPECT_EQ(result(R"({"id":1,"op":"ax_find","pid":412,"role":"AXTextField","max":2})")["truncated"], false);
    EXPECT_EQ(result(R"({"id":1,"op":"ax_find","pid":412,"role":"AXButton","max":0})"),
              json::parse(R"({"elements":[],"truncated":true})"));
    EXPECT_EQ(result(R"({"id":1,"op":"ax_find","pid":412,"role":"AXNothing","max":-3})"),
              json::parse(R"({"elements":[],"truncated":false})"));
    // The depth limit: nothing below it is searched, and the answer says
    // something was left; leaves at the limit leave nothing.
    json shallow = result(R"({"id":1,"op":"ax_find","pid":412,"role":"AXButton","depth":2})");
    EXPECT_EQ(shallow, json::parse(R"({"elements":[],"truncated":true})"));
    EXPECT_EQ(result(R"({"id":1,"op":"ax_find","pid":412,"role":"AXButton","depth":3})")["truncated"], false);
    // Arguments are read as ax_tree reads them.
    EXPECT_EQ(answer(R"({"id":1,"op":"ax_find","pid":"412","role":"AXButton"})"), error("Missing app", "bad_args"));
    EXPECT_EQ(answer(R"({"id":1,"op":"ax_find","pid":412,"max":1e300})")["code"], "bad_args");
    EXPECT_THAT(ids(result(R"({"id":1,"op":"ax_find","pid":412,"role":5,"title":"cancel"})")), ElementsAre("0.0.1"));
    EXPECT_EQ(result(R"({"id":1,"op":"ax_find","pid":7})"), json::parse(R"({"elements":[],"truncated":false})"));
    EXPECT_EQ(live(), 0);
}

TEST_F(Find, AHugeTreeIsSearchedUpToTheBudget) {
    ax().quiet = true;
    int list = ax().child(win, "AXList");
    for (std::size_t i = 0; i < ax::kFindVisits; ++i) ax().child(list, "AXRow");
    json r = result(R"({"id":1,"op":"ax_find","pid":412,"role":"AXCell","depth":10})");
    EXPECT_EQ(r, json::parse(R"({"elements":[],"truncated":true})"));
    // Within the budget the same search is complete.
    EXPECT_EQ(result(R"({"id":1,"op":"ax_find","pid":412,"role":"AXCell","depth":2})")["truncated"], true);  // depth
    ax::Match cells;
    cells.role = "AXCell";
    ax::Found within = ax::find(412, cells, 2, 50);
    EXPECT_FALSE(within.cut);
    EXPECT_TRUE(within.deeper);
    ax::Found whole = ax::find(412, cells, 10, 50);
    EXPECT_TRUE(whole.cut);
}

class Wait : public Find {
protected:
    std::vector<std::string> pauses() { return lines("pause"); }
    // Runs `change` once the agent has paused `after` times.
    void onPause(int after, std::function<void()> change) {
        auto count = std::make_shared<int>(0);
        fake::desktop().onPause = [=] {
            if (++*count == after) change();
        };
    }
};

TEST_F(Wait, AMatchAlreadyThereAnswersAtOnce) {
    json r = result(R"({"id":1,"op":"ax_wait","pid":412,"title":"cancel"})");
    EXPECT_EQ(r["met"], true);
    EXPECT_THAT(ids(r), ElementsAre("0.0.1"));
    EXPECT_EQ(r["elapsed"], 0);
    EXPECT_THAT(pauses(), IsEmpty());
    EXPECT_EQ(fake::desktop().requestsBegun, 1);
}

TEST_F(Wait, AnElementThatAppearsIsSeenAtTheNextRead) {
    onPause(3, [&] {
        int ready = ax().child(win, "AXButton");
        ax().set(ready, "AXTitle", "Ready");
    });
    json r = result(R"({"id":1,"op":"ax_wait","pid":412,"title":"ready","fields":["frame"]})");
    EXPECT_EQ(r["met"], true);
    EXPECT_EQ(r["elements"], json::parse(R"([{"id":"0.4","role":"AXButton","title":"Ready"}])"));
    // Fresh reads, each a request of its own, a pause between them; the
    // fake's reads take no time, so each pause is the whole interval.
    EXPECT_THAT(pauses(), ElementsAre("pause 75000", "pause 75000", "pause 75000"));
    EXPECT_EQ(r["elapsed"], 225);
    EXPECT_EQ(fake::desktop().requestsBegun, 4);
    EXPECT_EQ(fake::desktop().requestsOpen, 0);
    EXPECT_EQ(live(), 0);
}

TEST_F(Wait, OneThatNeverComesEndsAtTheTimeoutWithALastRead) {
    json r = result(R"({"id":1,"op":"ax_wait","pid":412,"title":"never","timeout":200})");
    EXPECT_EQ(r, json::parse(R"({"met":false,"elements":[],"elapsed":200})"));
    EXPECT_THAT(pauses(), ElementsAre("pause 75000", "pause 75000", "pause 50000"));
    EXPECT_EQ(fake::desktop().requestsBegun, 4);  // the last read at the deadline
}

TEST_F(Wait, TheTimeoutIsClamped) {
    json zero = result(R"({"id":1,"op":"ax_wait","pid":412,"title":"never","timeout":-5})");
    EXPECT_EQ(zero, json::parse(R"({"met":false,"elements":[],"elapsed":0})"));
    EXPECT_THAT(pauses(), IsEmpty());
    fake::desktop().clock = 0;
    json most = result(R"({"id":1,"op":"ax_wait","pid":412,"title":"never","timeout":1e12})");
    EXPECT_EQ(most["elapsed"], 60000);
    fake::desktop().clock = 0;
    clearLog();
    json fallback = result(R"({"id":1,"op":"ax_wait","pid":412,"title":"never","timeout":"9"})");
    EXPECT_EQ(fallback["elapsed"], 5000);
}

TEST_F(Wait, GoneWaitsUntilNothingMatches) {
    onPause(2, [&] { ax().node(toolbar).attributes["AXChildren"] = fake::elements({save}); });
    json r = result(R"({"id":1,"op":"ax_wait","pid":412,"title":"cancel","gone":true})");
    EXPECT_EQ(r, json::parse(R"({"met":true,"elements":[],"elapsed":150})"));
    // Still there at the end: not met, and the matches are given.
    fake::desktop().clock = 0;
    json still = result(R"({"id":1,"op":"ax_wait","pid":412,"title":"save","gone":true,"timeout":100})");
    EXPECT_EQ(still["met"], false);
    EXPECT_THAT(ids(still), ElementsAre("0.0.0"));
}

TEST_F(Wait, GoneIsNotMetByASearchThatCouldNotSeeEverything) {
    // The application stops answering: nothing matches, but it cannot be told.
    ax().node(toolbar).readErrors["AXChildren"] = platform::kAXErrorCannotComplete;
    json r = result(R"({"id":1,"op":"ax_wait","pid":412,"title":"cancel","gone":true,"timeout":100})");
    EXPECT_EQ(r["met"], false);
    EXPECT_EQ(r["timedOut"], true);
    EXPECT_THAT(ids(r), IsEmpty());
}

class Expect : public Find {};

TEST_F(Expect, AMismatchIsRefusedAsStaleAndNothingIsDone) {
    const json stale = error("That element is gone. Read ui_tree again.", "stale_element");
    for (const char* line :
         {R"({"id":1,"op":"ax_press","pid":412,"path":"0.0.1","expect":{"role":"AXButton","title":"Save File"}})",
          R"({"id":1,"op":"ax_press","pid":412,"path":"0.0.0","expect":{"role":"AXCheckBox"}})",
          R"({"id":1,"op":"ax_press","pid":412,"path":"0.0.0","expect":{"title":"save file"}})",
          R"({"id":1,"op":"ax_focus","pid":412,"path":"0.1","expect":{"title":"Name"}})",
          R"({"id":1,"op":"ax_set","pid":412,"path":"0.1","value":"x","expect":{"role":"AXTextArea"}})",
          R"({"id":1,"op":"ax_info","pid":412,"path":"0.2","expect":{"role":"AXButton"}})"}) {
        EXPECT_EQ(answer(line), stale) << line;
    }
    EXPECT_THAT(lines("perform"), IsEmpty());
    EXPECT_THAT(lines("set"), IsEmpty());
    EXPECT_THAT(lines("read " + id(password) + " AXSubrole"), IsEmpty());
    EXPECT_EQ(live(), 0);
}

TEST_F(Expect, AMatchGoesAheadForTheCostOfTheReadsItNames) {
    EXPECT_EQ(result(R"({"id":1,"op":"ax_press","pid":412,"path":"0.0.0","expect":{"role":"AXButton","title":"Save File"}})"),
              json({{"ok", true}}));
    EXPECT_THAT(lines("read " + id(save)), ElementsAre("read " + id(save) + " AXRole", "read " + id(save) + " AXTitle"));
    clearLog();
    // An absent title is "", and "expect" may name one key only.
    EXPECT_EQ(result(R"({"id":1,"op":"ax_set","pid":412,"path":"0.1","value":"x","expect":{"title":""}})"),
              json({{"ok", true}}));
    EXPECT_THAT(lines("read " + id(field) + " AXRole"), ElementsAre("read " + id(field) + " AXRole"));  // the secure check's
    EXPECT_EQ(result(R"({"id":1,"op":"ax_info","pid":412,"path":"0.2","expect":{"role":"AXTextField"}})")["secure"], true);
    EXPECT_EQ(result(R"({"id":1,"op":"ax_focus","pid":412,"path":"0.1","expect":null})"), json({{"ok", true}}));
    // A long title matches whole, or as the 120 characters a record shows.
    std::string longTitle(130, 'x');
    ax().set(cancel, "AXTitle", longTitle);
    json shown = result(R"({"id":1,"op":"ax_find","pid":412,"title":"xxx"})")["elements"][0];
    json request{{"id", 1}, {"op", "ax_press"}, {"pid", 412}, {"path", "0.0.1"}, {"expect", {{"title", shown["title"]}}}};
    EXPECT_EQ(result(request.dump()), json({{"ok", true}}));
    request["expect"]["title"] = longTitle;
    EXPECT_EQ(result(request.dump()), json({{"ok", true}}));
    request["expect"]["title"] = longTitle.substr(0, 100);
    EXPECT_EQ(answer(request.dump())["code"], "stale_element");
}

TEST_F(Expect, AMalformedExpectationIsRefusedBeforeAnythingIsTouched) {
    for (const char* line : {R"({"id":1,"op":"ax_press","pid":412,"path":"0.0.0","expect":"AXButton"})",
                             R"({"id":1,"op":"ax_press","pid":412,"path":"0.0.0","expect":{"role":1}})",
                             R"({"id":1,"op":"ax_set","pid":412,"path":"0.1","expect":{"title":["x"]}})"}) {
        EXPECT_EQ(answer(line), error("\"expect\" must be an object of strings", "bad_args")) << line;
    }
    EXPECT_THAT(log(), IsEmpty());
}

}  // namespace
