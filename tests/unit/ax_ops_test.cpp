// The element operations as a controller sees them: request line in, answer
// line out, against the fake desktop.
#include "ax_support.h"
#include "channel/json_line.h"
#include "channel/response.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using nlohmann::json;

class ElementOps : public axtest::AxTest {
protected:
    int app = 0, win = 0, button = 0, field = 0, password = 0;
    void SetUp() override {
        AxTest::SetUp();
        app = ax().app(412);
        win = ax().window(app);
        button = ax().child(win, "AXButton");
        ax().actions(button, {"AXPress"});
        field = ax().child(win, "AXTextField");
        ax().set(field, "AXValue", "old");
        password = ax().child(win, "AXTextField");
        ax().set(password, "AXSubrole", "AXSecureTextField").set(password, "AXValue", "secret");
    }
    json answer(const std::string& line) {
        auto request = channel::parseRequest(line);
        if (!request) return "dropped";
        return json::parse(channel::respondLine(request->id, request->object));
    }
    static json error(const char* message, const char* code) {
        return {{"id", 1}, {"error", message}, {"code", code}};
    }
    static json result(json r) { return {{"id", 1}, {"result", std::move(r)}}; }
};

TEST_F(ElementOps, TreeReadsItsLimits) {
    int deep = ax().child(ax().child(button));
    (void)deep;
    json full = answer(R"({"id":1,"op":"ax_tree","pid":412})");
    EXPECT_EQ(full["result"]["elements"].size(), 6u);
    EXPECT_EQ(full["result"]["truncated"], false);
    EXPECT_EQ(answer(R"({"id":1,"op":"ax_tree","pid":412,"depth":2.7})")["result"]["elements"].size(), 4u);
    EXPECT_EQ(answer(R"({"id":1,"op":"ax_tree","pid":412,"depth":0,"max":true})"),
              result(json::parse(R"({"elements":[{"id":"0","role":"AXWindow"}],"truncated":false})")));
    EXPECT_EQ(answer(R"({"id":1,"op":"ax_tree","pid":412,"depth":"1","max":-0.5})")["result"]["elements"].size(),
              0u);  // a string depth is the default; -0.5 truncates to 0
    EXPECT_EQ(answer(R"({"id":1,"op":"ax_tree","pid":412,"max":1e300})")["code"], "bad_args");
    EXPECT_EQ(answer(R"({"id":1,"op":"ax_tree","pid":"412"})"), error("Missing app", "bad_args"));
    EXPECT_EQ(answer(R"({"id":1,"op":"ax_tree","pid":7})"),
              result(json::parse(R"({"elements":[],"truncated":false})")));
}

TEST_F(ElementOps, TreeHidesPasswords) {
    json r = answer(R"({"id":1,"op":"ax_tree","pid":412})");
    EXPECT_EQ(r["result"]["elements"][3], json::parse(R"({"id":"0.2","role":"AXTextField","secure":true})"));
    EXPECT_EQ(r.dump().find("secret"), std::string::npos);
    EXPECT_THAT(lines("read " + id(password) + " AXValue"), IsEmpty());
}

TEST_F(ElementOps, PressAtWantsAppBeforePoint) {
    ax().hit(app, button);
    EXPECT_EQ(answer(R"({"id":1,"op":"ax_press_at"})"), error("Missing app", "bad_args"));
    EXPECT_EQ(answer(R"({"id":1,"op":"ax_press_at","pid":412,"x":"1","y":2})"), error("Missing point", "bad_args"));
    EXPECT_THAT(log(), IsEmpty());
    EXPECT_EQ(answer(R"({"id":1,"op":"ax_press_at","pid":412,"x":3,"y":4})"),
              result({{"ok", true}, {"role", "AXButton"}}));
    EXPECT_THAT(lines("at"), ElementsAre("at " + id(app) + " 3.0 4.0"));
}

TEST_F(ElementOps, PrologueRefusesBeforeTouchingAnything) {
    for (const char* op : {"ax_press", "ax_focus", "ax_info", "ax_set"}) {
        clearLog();
        std::string o = std::string(R"({"id":1,"op":")") + op + "\"";
        EXPECT_EQ(answer(o + R"(,"path":"0"})"), error("Missing element", "bad_args")) << op;
        EXPECT_EQ(answer(o + R"(,"pid":null,"path":"0"})"), error("Missing element", "bad_args")) << op;
        EXPECT_EQ(answer(o + R"(,"pid":412,"path":0})"), error("Missing element", "bad_args")) << op;
        EXPECT_EQ(answer(o + R"(,"pid":412})"), error("Missing element", "bad_args")) << op;
        EXPECT_THAT(log(), IsEmpty());
        EXPECT_EQ(answer(o + R"(,"pid":412,"path":"0.9"})"),
                  error("That element is gone. Read ui_tree again.", "stale_element"))
            << op;
        EXPECT_EQ(answer(o + R"(,"pid":413,"path":"0"})")["code"], "stale_element") << op;
    }
    EXPECT_THAT(lines("perform"), IsEmpty());
    EXPECT_THAT(lines("set"), IsEmpty());
}

TEST_F(ElementOps, PressAndFocusReportTheCallsOutcome) {
    EXPECT_EQ(answer(R"({"id":1,"op":"ax_press","pid":412.9,"path":"0.0"})"), result({{"ok", true}}));
    EXPECT_EQ(answer(R"({"id":1,"op":"ax_press","pid":412,"path":"0.1"})"), result({{"ok", false}}));  // no AXPress
    EXPECT_EQ(answer(R"({"id":1,"op":"ax_press","pid":412,"path":"0.2"})"), result({{"ok", false}}));
    EXPECT_THAT(lines("perform"), ElementsAre("perform " + id(button) + " AXPress", "perform " + id(field) + " AXPress",
                                              "perform " + id(password) + " AXPress"));
    EXPECT_EQ(answer(R"({"id":1,"op":"ax_focus","pid":412,"path":"0.2"})"), result({{"ok", true}}));
    ax().node(button).setResults["AXFocused"] = platform::kAXErrorAttributeUnsupported;
    EXPECT_EQ(answer(R"({"id":1,"op":"ax_focus","pid":412,"path":"0.0"})"), result({{"ok", false}}));
    EXPECT_THAT(lines("set"), ElementsAre("set " + id(password) + " AXFocused true",
                                          "set " + id(button) + " AXFocused true"));
}

TEST_F(ElementOps, InfoDescribesWithoutReadingValues) {
    EXPECT_EQ(answer(R"({"id":1,"op":"ax_info","pid":412,"path":"0.2"})"),
              result({{"role", "AXTextField"}, {"secure", true}, {"secureInput", false}}));
    fake::desktop().secureInput = true;
    int bare = ax().child(win);
    (void)bare;
    EXPECT_EQ(answer(R"({"id":1,"op":"ax_info","pid":412,"path":"0.3"})"),
              result({{"role", ""}, {"secure", false}, {"secureInput", true}}));
    EXPECT_THAT(lines("read " + id(password) + " AXValue"), IsEmpty());
}

TEST_F(ElementOps, SetWritesStringsOnly) {
    EXPECT_EQ(answer(R"({"id":1,"op":"ax_set","pid":412,"path":"0.1","value":"new"})"), result({{"ok", true}}));
    EXPECT_EQ(answer(R"({"id":1,"op":"ax_set","pid":412,"path":"0.1","value":5})"), result({{"ok", true}}));
    EXPECT_EQ(answer(R"({"id":1,"op":"ax_set","pid":412,"path":"0.1"})"), result({{"ok", true}}));
    EXPECT_THAT(lines("set"), ElementsAre("set " + id(field) + " AXValue \"new\"", "set " + id(field) + " AXValue \"\"",
                                          "set " + id(field) + " AXValue \"\""));
    ax().node(button).setResults["AXValue"] = platform::kAXErrorIllegalArgument;
    EXPECT_EQ(answer(R"({"id":1,"op":"ax_set","pid":412,"path":"0.0","value":"x"})"), result({{"ok", false}}));
}

TEST_F(ElementOps, SetRefusesPasswordFields) {
    // "value" is read after the check: an ill-formed one changes nothing here.
    for (const char* line : {R"({"id":1,"op":"ax_set","pid":412,"path":"0.2","value":"x"})",
                             R"({"id":1,"op":"ax_set","pid":412,"path":"0.2","value":{"deep":[1]}})"}) {
        EXPECT_EQ(answer(line), error("That is a password field", "secure_field"));
    }
    EXPECT_THAT(lines("set"), IsEmpty());
    EXPECT_THAT(lines("read " + id(password) + " AXValue"), IsEmpty());
    ASSERT_TRUE(ax().value(password, "AXValue"));
    EXPECT_EQ(std::get<std::string>(ax().value(password, "AXValue")->v), "secret");
}

TEST_F(ElementOps, SetRefusesAFieldWhoseKindWasNotToldInTime) {
    // The role came, the subrole did not: it may be a password field.
    ax().node(field).readErrors["AXSubrole"] = platform::kAXErrorCannotComplete;
    EXPECT_EQ(answer(R"({"id":1,"op":"ax_set","pid":412,"path":"0.1","value":"x"})"),
              error("Could not check the field", "secure_field"));
    EXPECT_THAT(lines("set"), IsEmpty());
    // Other failures to read say it is not one, as before.
    ax().node(field).readErrors["AXSubrole"] = platform::kAXErrorNoValue;
    EXPECT_EQ(answer(R"({"id":1,"op":"ax_set","pid":412,"path":"0.1","value":"x"})"), result({{"ok", true}}));
}

TEST_F(ElementOps, ElementsAreReleasedOnEveryPath) {
    ax().hit(app, button);
    for (const char* line : {R"({"id":1,"op":"ax_tree","pid":412})", R"({"id":1,"op":"ax_press_at","pid":412,"x":1,"y":1})",
                             R"({"id":1,"op":"ax_press","pid":412,"path":"0.0"})",
                             R"({"id":1,"op":"ax_focus","pid":412,"path":"0.9"})",
                             R"({"id":1,"op":"ax_info","pid":412,"path":"0.2"})",
                             R"({"id":1,"op":"ax_set","pid":412,"path":"0.2"})",
                             R"({"id":1,"op":"ax_set","pid":412,"path":"0.1","value":"v"})"}) {
        answer(line);
        EXPECT_EQ(live(), 0) << line;
    }
}

}  // namespace
