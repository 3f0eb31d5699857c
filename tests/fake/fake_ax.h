// The fake desktop's accessibility trees.
//
// Elements are scripted objects named by small integer ids. Tests build trees
// with the helpers of AxState and read back what the agent asked in the log:
//
//   app 412                  axCreateApplication(412)
//   system-wide              axCreateSystemWide()
//   timeout 3 2.0            axSetMessagingTimeout(element 3, 2.0)
//   read 7 AXRole            axCopyAttributeValue(element 7, "AXRole")
//   actions 7                axCopyActionNames(element 7)
//   perform 7 AXPress        axPerformAction(element 7, "AXPress")
//   set 7 AXValue "hi"       axSetAttributeValue(element 7, "AXValue", "hi")
//   at 3 10.0 20.5           axCopyElementAtPosition(element 3, 10, 20.5)
//
// An element handle the agent never got from the fake (an empty handle) shows
// as "null" in place of its id.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/platform.h"

namespace fake {

// A scripted element reference inside an attribute value.
struct El {
    int id = 0;
};

// A scripted attribute value: like platform::Value, but elements are named by
// id, so the script itself holds no platform reference. Every read hands out
// fresh references, which the agent must give back.
struct AxValue {
    using Array = std::vector<AxValue>;
    using Variant = std::variant<std::monostate, std::string, std::int64_t, double, bool, El, Array,
                                 platform::Point, platform::Size, platform::Dictionary,
                                 platform::Other>;
    Variant v;

    AxValue() = default;
    AxValue(const char* s) : v(std::string(s)) {}                       // NOLINT
    AxValue(std::string s) : v(std::move(s)) {}                          // NOLINT
    AxValue(int i) : v(static_cast<std::int64_t>(i)) {}                  // NOLINT
    AxValue(std::int64_t i) : v(i) {}                                    // NOLINT
    AxValue(double d) : v(d) {}                                          // NOLINT
    AxValue(bool b) : v(b) {}                                            // NOLINT
    AxValue(El e) : v(e) {}                                              // NOLINT
    AxValue(Array a) : v(std::move(a)) {}                                // NOLINT
    AxValue(platform::Point p) : v(p) {}                                 // NOLINT
    AxValue(platform::Size s) : v(s) {}                                  // NOLINT
    AxValue(platform::Dictionary d) : v(std::move(d)) {}                 // NOLINT
    AxValue(platform::Other o) : v(o) {}                                 // NOLINT
};

// An array of element references, for "AXChildren", "AXWindows" and the like.
AxValue::Array elements(const std::vector<int>& ids);
// An array of strings, for action lists.
AxValue::Array strings(const std::vector<std::string>& names);

struct AxNode {
    // What a successful read of an attribute answers.
    std::map<std::string, AxValue, std::less<>> attributes;
    // Reads of these names fail with the code. When the name also has a value
    // above, the failing read hands that value out as well (the agent must
    // still release it).
    std::map<std::string, platform::AXError, std::less<>> readErrors;
    // What axCopyActionNames answers: the code, and the names on success.
    platform::AXError actionsError = platform::kAXErrorSuccess;
    AxValue actions = AxValue::Array{};
    // Result codes of actions and sets. An action without a scripted result
    // succeeds when it is among `actions`, else fails as unsupported; a set
    // without one succeeds and stores the value.
    std::map<std::string, platform::AXError, std::less<>> performResults;
    std::map<std::string, platform::AXError, std::less<>> setResults;
    // Run after an action was performed successfully.
    std::map<std::string, std::function<void()>, std::less<>> onPerform;
    // A destroyed element: every call on it fails with kAXErrorInvalidUIElement.
    bool gone = false;
};

// What an application element answers to a hit-test at any point.
struct Hit {
    platform::AXError error = platform::kAXErrorSuccess;
    int element = 0;  // 0: success without an element
};

struct AxState {
    std::map<int, AxNode> nodes;
    std::map<std::int32_t, int> applications;  // pid -> application element
    std::map<int, Hit> hits;                   // application element -> hit-test answer
    int nextId = 1;
    int systemWideId = 0;  // made on first use
    // Turns the call log off for accessibility calls (for very large trees).
    bool quiet = false;

    // A new element with a role ("" leaves "AXRole" unset).
    int element(const std::string& role = "");
    // The application element of a process; made on first use.
    int app(std::int32_t pid);
    // A new window appended to the application's "AXWindows", its "AXParent" the application.
    int window(int app, const std::string& role = "AXWindow");
    // A new element appended to the parent's "AXChildren", its "AXParent" the parent.
    int child(int parent, const std::string& role = "");
    // The system-wide element.
    int systemWide();

    AxNode& node(int id) { return nodes[id]; }
    AxState& set(int id, const std::string& attribute, AxValue value);
    AxState& fail(int id, const std::string& attribute, platform::AXError error);
    AxState& actions(int id, const std::vector<std::string>& names);
    // Gives focus to an element: the system-wide element's "AXFocusedUIElement"
    // and, when the element belongs to a scripted application, that
    // application's one too.
    void focus(int id);
    // The answer of the application's hit-test.
    void hit(int app, int element, platform::AXError error = platform::kAXErrorSuccess);

    // The value of an attribute as scripted now (after sets), or none.
    const AxValue* value(int id, const std::string& attribute) const;
};

}  // namespace fake
