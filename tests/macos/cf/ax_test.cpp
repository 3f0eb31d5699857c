// The macOS backend's accessibility calls (ax.mm) run against the fake
// accessibility model of fake_cf.cpp: the messaging timeout on every element
// the backend hands out, one wait at most per unanswering application and
// request, and the one request per application and request for its web
// content ("AXManualAccessibility"). Every test also proves that whatever the
// backend created or copied was released again.
// The seam first: CoreGraphics defines kCGNullWindowID as a macro.
#include "platform/platform.h"
#include "platform/macos/cf.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "fake_cf.h"
#include "scripted_elements.h"

namespace {

using platform::Element;
using platform::Value;

constexpr platform::AXError kCannotComplete = platform::kAXErrorCannotComplete;
constexpr platform::AXError kSuccess = platform::kAXErrorSuccess;

class Accessibility : public ScriptedElements {
protected:
    void SetUp() override {
        ScriptedElements::SetUp();
        platform::beginRequest();
    }
    void TearDown() override {
        platform::endRequest();
        ScriptedElements::TearDown();
    }

    static AXUIElementRef ref(const Element& element) { return static_cast<AXUIElementRef>(element.get()); }
    static Element copyElement(const Element& from, const std::string& attribute) {
        Value value;
        if (platform::axCopyAttributeValue(from, attribute, value) != kSuccess) return {};
        auto found = value.as<Element>();
        return found ? *found : Element();
    }

    // Each accessibility call that talks to an application, on `element`; the
    // answer of each.
    static std::vector<platform::AXError> everyCall(const Element& element) {
        Value value;
        Value names;
        Element hit;
        return {platform::axCopyAttributeValue(element, "AXRole", value),
                platform::axCopyActionNames(element, names),
                platform::axCopyElementAtPosition(element, 10, 20, hit),
                platform::axPerformAction(element, "AXPress"),
                platform::axSetAttributeValue(element, "AXValue", Value("text"))};
    }

    // The calls that reached the elements of `pid`, in order.
    static std::vector<fakecf::Call> callsTo(pid_t pid) {
        std::vector<fakecf::Call> out;
        for (const auto& call : fakecf::callLog())
            if (call.pid == pid) out.push_back(call);
        return out;
    }
    // How often the application `pid` was asked for its web content.
    static long webContentRequests(pid_t pid) {
        long count = 0;
        for (const auto& call : callsTo(pid))
            if (call.kind == "set" && call.name == "AXManualAccessibility") ++count;
        return count;
    }
};

TEST_F(Accessibility, RootElementsWaitTheBoundedTime) {
    Element app = platform::axCreateApplication(201);
    ASSERT_TRUE(app);
    EXPECT_EQ(fakecf::timeout(ref(app)), 2.0f);
    EXPECT_LT(fakecf::processDefaultTimeout(), 0) << "an application element's timeout is its own";
    Element systemWide = platform::axCreateSystemWide();
    ASSERT_TRUE(systemWide);
    EXPECT_EQ(fakecf::timeout(ref(systemWide)), 2.0f);
    EXPECT_EQ(fakecf::processDefaultTimeout(), 2.0f) << "set on the system-wide element, it is the default";
}

TEST_F(Accessibility, ElementsCopiedFromAnApplicationWaitTheBoundedTime) {
    AXUIElementRef first = element(202), second = element(202), child = element(202);
    AXUIElementRef focused = element(202), hit = element(202);
    AXUIElementRef script = fakecf::application(202);
    setList(script, "AXWindows", {first, second});
    fakecf::setAttribute(script, "AXFocusedUIElement", focused);
    fakecf::setHit(script, hit);
    setList(first, "AXChildren", {child});
    for (auto* e : {first, second, child, focused, hit}) ASSERT_LT(fakecf::timeout(e), 0);

    Element app = platform::axCreateApplication(202);
    Value windows;
    ASSERT_EQ(platform::axCopyAttributeValue(app, "AXWindows", windows), kSuccess);
    ASSERT_TRUE(windows.as<platform::Array>());
    ASSERT_EQ(windows.as<platform::Array>()->size(), 2u);
    Element window = *windows.as<platform::Array>()->at(0).as<Element>();
    EXPECT_EQ(ref(window), first);
    EXPECT_EQ(fakecf::timeout(first), 2.0f);
    EXPECT_EQ(fakecf::timeout(second), 2.0f);

    Value children;
    ASSERT_EQ(platform::axCopyAttributeValue(window, "AXChildren", children), kSuccess);
    EXPECT_EQ(ref(*children.as<platform::Array>()->at(0).as<Element>()), child);
    EXPECT_EQ(fakecf::timeout(child), 2.0f);

    EXPECT_EQ(ref(copyElement(app, "AXFocusedUIElement")), focused);
    EXPECT_EQ(fakecf::timeout(focused), 2.0f);

    Element atPoint;
    ASSERT_EQ(platform::axCopyElementAtPosition(app, 10, 20, atPoint), kSuccess);
    EXPECT_EQ(ref(atPoint), hit);
    EXPECT_EQ(fakecf::timeout(hit), 2.0f);
}

TEST_F(Accessibility, ElementsCopiedFromTheSystemWideElementWaitTheBoundedTime) {
    AXUIElementRef focused = element(203), hit = element(204);
    fakecf::setAttribute(fakecf::systemWide(), "AXFocusedUIElement", focused);
    fakecf::setHit(fakecf::systemWide(), hit);
    Element systemWide = platform::axCreateSystemWide();
    EXPECT_EQ(ref(copyElement(systemWide, "AXFocusedUIElement")), focused);
    EXPECT_EQ(fakecf::timeout(focused), 2.0f);
    Element atPoint;
    ASSERT_EQ(platform::axCopyElementAtPosition(systemWide, 1, 2, atPoint), kSuccess);
    EXPECT_EQ(ref(atPoint), hit);
    EXPECT_EQ(fakecf::timeout(hit), 2.0f);
}

TEST_F(Accessibility, AnApplicationThatMissedTheTimeoutIsNotCalledAgainInTheRequest) {
    // The focused element and its window belong to 211, the focused
    // application is 212.
    AXUIElementRef focused = element(211), window = element(211), other = element(212);
    fakecf::setAttribute(fakecf::systemWide(), "AXFocusedUIElement", focused);
    fakecf::setAttribute(fakecf::systemWide(), "AXFocusedApplication", other);
    fakecf::setAttribute(focused, "AXWindow", window);
    setText(other, "AXTitle", "Other");

    Element systemWide = platform::axCreateSystemWide();
    Element focusedElement = copyElement(systemWide, "AXFocusedUIElement");
    Element otherApp = copyElement(systemWide, "AXFocusedApplication");
    Element windowElement = copyElement(focusedElement, "AXWindow");
    ASSERT_TRUE(focusedElement && otherApp && windowElement);
    EXPECT_EQ(fakecf::calls(211), 1);

    fakecf::hang(211);
    Value value;
    EXPECT_EQ(platform::axCopyAttributeValue(focusedElement, "AXRole", value), kCannotComplete);
    EXPECT_EQ(fakecf::calls(211), 2) << "the first miss is waited for";

    // Every kind of call, on the element that missed and on another element
    // of the same application, is answered at once.
    std::vector<platform::AXError> cannot(5, kCannotComplete);
    EXPECT_EQ(everyCall(focusedElement), cannot);
    EXPECT_EQ(everyCall(windowElement), cannot);
    EXPECT_EQ(fakecf::calls(211), 2) << "no call reached the application again";

    // Another application and the system-wide element are still called.
    long otherCalls = fakecf::calls(212);
    ASSERT_EQ(platform::axCopyAttributeValue(otherApp, "AXTitle", value), kSuccess);
    EXPECT_EQ(*value.as<std::string>(), "Other");
    EXPECT_EQ(platform::axPerformAction(otherApp, "AXRaise"), kSuccess);
    EXPECT_EQ(fakecf::calls(212), otherCalls + 2);
    long systemWideCalls = fakecf::calls(fakecf::kSystemWide);
    EXPECT_TRUE(copyElement(systemWide, "AXFocusedUIElement"));
    EXPECT_EQ(fakecf::calls(fakecf::kSystemWide), systemWideCalls + 1);
}

TEST_F(Accessibility, EveryCallThatMissesMarksTheApplication) {
    // Whichever call meets the miss first, the next one is not made.
    const char* kinds[] = {"copy attribute", "action names", "element at position", "perform action",
                           "set attribute"};
    for (int kind = 0; kind < 5; ++kind) {
        SCOPED_TRACE(kinds[kind]);
        pid_t pid = 230 + kind;
        Element app = platform::axCreateApplication(pid);
        long before = fakecf::calls(pid);
        fakecf::hang(pid);
        Value value;
        Value names;
        Element hit;
        platform::AXError first = kSuccess;
        switch (kind) {
            case 0: first = platform::axCopyAttributeValue(app, "AXRole", value); break;
            case 1: first = platform::axCopyActionNames(app, names); break;
            case 2: first = platform::axCopyElementAtPosition(app, 1, 1, hit); break;
            case 3: first = platform::axPerformAction(app, "AXRaise"); break;
            case 4: first = platform::axSetAttributeValue(app, "AXFocused", Value(true)); break;
        }
        EXPECT_EQ(first, kCannotComplete);
        EXPECT_EQ(fakecf::calls(pid), before + 1);
        EXPECT_EQ(platform::axCopyAttributeValue(app, "AXTitle", value), kCannotComplete);
        EXPECT_EQ(fakecf::calls(pid), before + 1);
    }
}

TEST_F(Accessibility, OnlyAMissedTimeoutMarksTheApplication) {
    AXUIElementRef script = fakecf::application(241);
    setText(script, "AXTitle", "Answers");
    Element app = platform::axCreateApplication(241);
    long before = fakecf::calls(241);
    Value value;
    Element hit;
    EXPECT_EQ(platform::axCopyAttributeValue(app, "AXNothing", value), platform::kAXErrorAttributeUnsupported);
    EXPECT_EQ(platform::axCopyElementAtPosition(app, 1, 1, hit), platform::kAXErrorNoValue);
    EXPECT_EQ(platform::axCopyAttributeValue(app, "AXNothing", value), platform::kAXErrorAttributeUnsupported);
    ASSERT_EQ(platform::axCopyAttributeValue(app, "AXTitle", value), kSuccess);
    EXPECT_EQ(*value.as<std::string>(), "Answers");
    EXPECT_EQ(fakecf::calls(241), before + 4);
}

TEST_F(Accessibility, TheSystemWideElementIsAlwaysCalled) {
    // It belongs to no process: a miss of its own marks nothing.
    fakecf::hang(fakecf::kSystemWide);
    Element systemWide = platform::axCreateSystemWide();
    Value value;
    Element hit;
    EXPECT_EQ(platform::axCopyAttributeValue(systemWide, "AXFocusedUIElement", value), kCannotComplete);
    EXPECT_EQ(platform::axCopyAttributeValue(systemWide, "AXFocusedUIElement", value), kCannotComplete);
    EXPECT_EQ(platform::axCopyElementAtPosition(systemWide, 1, 1, hit), kCannotComplete);
    EXPECT_EQ(fakecf::calls(fakecf::kSystemWide), 3);
}

TEST_F(Accessibility, ANewRequestWaitsForTheApplicationAgain) {
    fakecf::hang(251);
    platform::beginRequest();
    Element app = platform::axCreateApplication(251);
    Value value;
    EXPECT_EQ(platform::axCopyAttributeValue(app, "AXRole", value), kCannotComplete);
    EXPECT_EQ(platform::axCopyAttributeValue(app, "AXRole", value), kCannotComplete);
    EXPECT_EQ(fakecf::calls(251), 1);

    // A second root element within the request changes nothing: the
    // application is not waited for again, whichever element is called.
    Element again = platform::axCreateApplication(251);
    Element systemWide = platform::axCreateSystemWide();
    EXPECT_EQ(platform::axCopyAttributeValue(again, "AXRole", value), kCannotComplete);
    EXPECT_EQ(fakecf::calls(251), 1);

    // Answering again does not matter within the request.
    fakecf::hang(251, false);
    setText(fakecf::application(251), "AXRole", "AXApplication");
    EXPECT_EQ(platform::axCopyAttributeValue(app, "AXRole", value), kCannotComplete);
    EXPECT_EQ(fakecf::calls(251), 1);
    platform::endRequest();

    // The next request asks it again.
    platform::RequestScope next;
    ASSERT_EQ(platform::axCopyAttributeValue(app, "AXRole", value), kSuccess);
    EXPECT_EQ(*value.as<std::string>(), "AXApplication");
    EXPECT_EQ(fakecf::calls(251), 2);
}

TEST_F(Accessibility, AnApplicationIsAskedForItsWebContentBeforeItIsRead) {
    AXUIElementRef window = element(261);
    setList(fakecf::application(261), "AXWindows", {window});
    Element app = platform::axCreateApplication(261);
    ASSERT_TRUE(app);
    Value windows;
    ASSERT_EQ(platform::axCopyAttributeValue(app, "AXWindows", windows), kSuccess);
    ASSERT_TRUE(windows.as<platform::Array>());
    EXPECT_EQ(windows.as<platform::Array>()->size(), 1u);

    std::vector<fakecf::Call> calls = callsTo(261);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].kind, "set");
    EXPECT_EQ(calls[0].name, "AXManualAccessibility");
    EXPECT_EQ(calls[0].value, "true");
    EXPECT_TRUE(calls[0].root) << "set on the application element";
    EXPECT_EQ(calls[0].timeout, 2.0f) << "an element without the messaging timeout was asked";
    EXPECT_EQ(calls[1].kind, "copy");
    EXPECT_EQ(calls[1].name, "AXWindows");
}

TEST_F(Accessibility, AnApplicationIsAskedForItsWebContentOncePerRequest) {
    Element first = platform::axCreateApplication(262);
    Element second = platform::axCreateApplication(262);
    Element other = platform::axCreateApplication(263);
    Value value;
    platform::axCopyAttributeValue(first, "AXRole", value);
    platform::axCopyAttributeValue(second, "AXRole", value);
    EXPECT_EQ(webContentRequests(262), 1);
    EXPECT_EQ(webContentRequests(263), 1);
    platform::endRequest();

    platform::beginRequest();
    Element next = platform::axCreateApplication(262);
    EXPECT_EQ(webContentRequests(262), 2) << "the next request asks again";
    EXPECT_EQ(webContentRequests(263), 1);
}

TEST_F(Accessibility, TheSystemWideElementIsNotAskedForWebContent) {
    AXUIElementRef focused = element(264);
    fakecf::setAttribute(fakecf::systemWide(), "AXFocusedUIElement", focused);
    setText(focused, "AXRole", "AXTextField");
    Element systemWide = platform::axCreateSystemWide();
    ASSERT_TRUE(systemWide);
    Element focusedElement = copyElement(systemWide, "AXFocusedUIElement");
    ASSERT_TRUE(focusedElement);
    Value role;
    ASSERT_EQ(platform::axCopyAttributeValue(focusedElement, "AXRole", role), kSuccess);
    EXPECT_EQ(*role.as<std::string>(), "AXTextField");
    std::vector<fakecf::Call> calls = callsTo(fakecf::kSystemWide);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].kind, "copy");
    EXPECT_EQ(webContentRequests(fakecf::kSystemWide), 0);
}

TEST_F(Accessibility, WhatTheApplicationAnswersToTheRequestForWebContentIsDropped) {
    const platform::AXError refusals[] = {platform::kAXErrorAttributeUnsupported, platform::kAXErrorIllegalArgument,
                                          platform::kAXErrorFailure, platform::kAXErrorAPIDisabled,
                                          static_cast<platform::AXError>(::kAXErrorNotImplemented)};
    pid_t pid = 270;
    for (platform::AXError refusal : refusals) {
        SCOPED_TRACE(refusal);
        ++pid;
        fakecf::refuseSet(pid, "AXManualAccessibility", static_cast<::AXError>(refusal));
        setText(fakecf::application(pid), "AXTitle", "Title");
        Element app = platform::axCreateApplication(pid);
        ASSERT_TRUE(app) << "the application element is handed out all the same";
        EXPECT_EQ(fakecf::timeout(ref(app)), 2.0f);
        std::vector<fakecf::Call> calls = callsTo(pid);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].name, "AXManualAccessibility");
        EXPECT_EQ(calls[0].answer, static_cast<::AXError>(refusal));

        // The application is called as before and answers as before.
        Value value;
        ASSERT_EQ(platform::axCopyAttributeValue(app, "AXTitle", value), kSuccess);
        EXPECT_EQ(*value.as<std::string>(), "Title");
        EXPECT_EQ(platform::axCopyAttributeValue(app, "AXManualAccessibility", value),
                  platform::kAXErrorAttributeUnsupported);
        EXPECT_EQ(platform::axPerformAction(app, "AXRaise"), kSuccess);
        EXPECT_EQ(fakecf::calls(pid), 4);
    }
}

TEST_F(Accessibility, AStuckApplicationCostsOneWaitWithTheRequestForWebContent) {
    fakecf::hang(281);
    Element app = platform::axCreateApplication(281);
    ASSERT_TRUE(app);
    EXPECT_EQ(fakecf::calls(281), 1) << "the request's one wait";
    EXPECT_EQ(webContentRequests(281), 1);

    // Neither its reads nor another application element of it call it again.
    Value value;
    EXPECT_EQ(platform::axCopyAttributeValue(app, "AXWindows", value), kCannotComplete);
    Element again = platform::axCreateApplication(281);
    ASSERT_TRUE(again);
    EXPECT_EQ(platform::axCopyAttributeValue(again, "AXFocusedUIElement", value), kCannotComplete);
    EXPECT_EQ(fakecf::calls(281), 1);
}

TEST_F(Accessibility, AnApplicationThatMissedTheTimeoutIsNotAskedForWebContent) {
    // The application missed the timeout through an element reached from the
    // system-wide element before its application element was made.
    AXUIElementRef focused = element(282);
    fakecf::setAttribute(fakecf::systemWide(), "AXFocusedUIElement", focused);
    Element systemWide = platform::axCreateSystemWide();
    Element focusedElement = copyElement(systemWide, "AXFocusedUIElement");
    ASSERT_TRUE(focusedElement);
    fakecf::hang(282);
    Value value;
    EXPECT_EQ(platform::axCopyAttributeValue(focusedElement, "AXRole", value), kCannotComplete);
    EXPECT_EQ(fakecf::calls(282), 1);

    Element app = platform::axCreateApplication(282);
    ASSERT_TRUE(app);
    EXPECT_EQ(fakecf::timeout(ref(app)), 2.0f);
    EXPECT_EQ(fakecf::calls(282), 1) << "a stuck application was asked again";
    platform::endRequest();

    // The next request asks it, once it answers again.
    fakecf::hang(282, false);
    platform::beginRequest();
    Element next = platform::axCreateApplication(282);
    EXPECT_EQ(webContentRequests(282), 1);
    EXPECT_EQ(fakecf::calls(282), 2);
}

}  // namespace
