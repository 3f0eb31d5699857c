// The agent's accessibility operations (src/ax/: tree, path resolution, focus,
// press at a point) over the macOS backend (ax.mm) and the fake accessibility
// model of fake_cf.cpp, one request each as the dispatcher runs them. The
// request for web content ("AXManualAccessibility") comes before the first
// read of each operation, and whatever the application makes of it, the
// answers stay those of the application's elements; a stuck application still
// costs one wait per request. Every test also proves that whatever the
// backend created or copied was released again.
// The seam first: CoreGraphics defines kCGNullWindowID as a macro.
#include "platform/platform.h"
#include "platform/macos/cf.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "ax/focus.h"
#include "ax/paths.h"
#include "ax/tree.h"
#include "channel/failure.h"
#include "fake_cf.h"
#include "scripted_elements.h"

namespace {

using nlohmann::json;
using platform::Element;
using platform::mac::CFOwner;

class Operations : public ScriptedElements {
protected:

    // Scripts the application `pid`: one window "Main" holding one button
    // "OK" that offers "AXPress", has the keyboard focus and lies under every
    // point.
    void scriptApplication(pid_t pid) {
        AXUIElementRef window = element(pid);
        AXUIElementRef button = element(pid);
        AXUIElementRef app = fakecf::application(pid);
        setList(app, "AXWindows", {window});
        fakecf::setAttribute(app, "AXFocusedUIElement", button);
        fakecf::setHit(app, button);
        setText(window, "AXRole", "AXWindow");
        setText(window, "AXTitle", "Main");
        setList(window, "AXChildren", {button});
        setText(button, "AXRole", "AXButton");
        setText(button, "AXTitle", "OK");
        CFOwner<CFStringRef> press = platform::mac::makeString("AXPress");
        CFOwner<CFArrayRef> actions(array({press.get()}));
        fakecf::setActions(button, actions.get());
    }

    // The answers of the four operations, each in a request of its own; the
    // role of the element that "0.0" resolves to; where in the call log each
    // request began.
    struct Answers {
        json tree, focus, press;
        std::string resolved;
        std::vector<std::size_t> starts;
    };
    static Answers answers(pid_t pid) {
        Answers out;
        {
            platform::RequestScope request;
            out.starts.push_back(fakecf::callLog().size());
            out.tree = ax::tree(pid, 8, 300);
        }
        {
            platform::RequestScope request;
            out.starts.push_back(fakecf::callLog().size());
            out.focus = ax::focusInfo(pid);
        }
        {
            platform::RequestScope request;
            out.starts.push_back(fakecf::callLog().size());
            out.press = ax::pressAt(pid, platform::Point{5, 5});
        }
        {
            platform::RequestScope request;
            out.starts.push_back(fakecf::callLog().size());
            Element found = ax::resolve(pid, "0.0");
            platform::Value role;
            if (platform::axCopyAttributeValue(found, "AXRole", role) == platform::kAXErrorSuccess &&
                role.as<std::string>())
                out.resolved = *role.as<std::string>();
        }
        return out;
    }

    // The calls that reached the elements of `pid`, in order.
    static std::vector<fakecf::Call> callsTo(pid_t pid) {
        std::vector<fakecf::Call> out;
        for (const auto& call : fakecf::callLog())
            if (call.pid == pid) out.push_back(call);
        return out;
    }
    static bool asksForWebContent(const fakecf::Call& call) {
        return call.kind == "set" && call.name == "AXManualAccessibility";
    }
};

TEST_F(Operations, AnApplicationWithoutTheAttributeGetsTheAnswersOfItsElements) {
    scriptApplication(301);
    fakecf::refuseSet(301, "AXManualAccessibility", kAXErrorAttributeUnsupported);
    Answers got = answers(301);
    EXPECT_EQ(got.tree, json::parse(R"({"elements": [{"id": "0", "role": "AXWindow", "title": "Main"},
        {"id": "0.0", "role": "AXButton", "title": "OK", "actions": ["AXPress"]}], "truncated": false})"));
    EXPECT_EQ(got.focus, json::parse(R"({"secureInput": false, "role": "AXButton", "subrole": "", "secure": false})"));
    EXPECT_EQ(got.press, json::parse(R"({"ok": true, "role": "AXButton"})"));
    EXPECT_EQ(got.resolved, "AXButton");

    // Each request asked once, before its first read, on the application
    // element with the messaging timeout, for true.
    const std::vector<fakecf::Call>& calls = fakecf::callLog();
    ASSERT_EQ(got.starts.size(), 4u);
    for (std::size_t request = 0; request < got.starts.size(); ++request) {
        SCOPED_TRACE(request);
        std::size_t begin = got.starts[request];
        std::size_t end = request + 1 < got.starts.size() ? got.starts[request + 1] : calls.size();
        ASSERT_LT(begin, end);
        const fakecf::Call& first = calls[begin];
        EXPECT_TRUE(asksForWebContent(first)) << "read before the request for web content: " << first.name;
        EXPECT_EQ(first.pid, 301);
        EXPECT_EQ(first.value, "true");
        EXPECT_TRUE(first.root);
        EXPECT_EQ(first.timeout, 2.0f);
        EXPECT_EQ(first.answer, kAXErrorAttributeUnsupported);
        for (std::size_t i = begin + 1; i < end; ++i) EXPECT_FALSE(asksForWebContent(calls[i])) << "asked twice";
    }
    EXPECT_EQ(callsTo(301).size(), calls.size()) << "another process, or the system-wide element, was called";
}

TEST_F(Operations, TheAnswersDoNotDependOnWhatTheApplicationMakesOfTheAttribute) {
    // One application refuses it, one takes it, one answers that it failed.
    scriptApplication(311);
    scriptApplication(312);
    scriptApplication(313);
    fakecf::refuseSet(311, "AXManualAccessibility", kAXErrorAttributeUnsupported);
    fakecf::refuseSet(313, "AXManualAccessibility", kAXErrorFailure);
    Answers refused = answers(311);
    Answers taken = answers(312);
    Answers failed = answers(313);
    for (const Answers* other : {&taken, &failed}) {
        EXPECT_EQ(other->tree, refused.tree);
        EXPECT_EQ(other->focus, refused.focus);
        EXPECT_EQ(other->press, refused.press);
        EXPECT_EQ(other->resolved, refused.resolved);
    }
    EXPECT_FALSE(refused.tree.contains("timedOut"));
    EXPECT_FALSE(refused.focus.contains("timedOut"));
}

TEST_F(Operations, AStuckApplicationCostsOneWaitPerRequest) {
    scriptApplication(321);
    fakecf::hang(321);
    {
        platform::RequestScope request;
        EXPECT_EQ(ax::tree(321, 8, 300),
                  json::parse(R"({"elements": [], "truncated": false, "timedOut": true})"));
    }
    EXPECT_EQ(fakecf::calls(321), 1);
    {
        platform::RequestScope request;
        EXPECT_EQ(ax::focusInfo(321), json::parse(R"({"secureInput": false, "secure": false, "timedOut": true})"));
    }
    EXPECT_EQ(fakecf::calls(321), 2);
    {
        platform::RequestScope request;
        EXPECT_EQ(ax::pressAt(321, platform::Point{5, 5}), json::parse(R"({"ok": false})"));
    }
    EXPECT_EQ(fakecf::calls(321), 3);
    {
        platform::RequestScope request;
        std::optional<std::string> code;
        try {
            ax::resolve(321, "0.0");
        } catch (const channel::Failure& failure) {
            code = failure.code;
        }
        EXPECT_EQ(code, "stale_element");
    }
    EXPECT_EQ(fakecf::calls(321), 4);
    // The one call of each request was the request for web content.
    for (const auto& call : callsTo(321)) EXPECT_TRUE(asksForWebContent(call));
}

}  // namespace
