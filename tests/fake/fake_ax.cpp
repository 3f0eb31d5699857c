// Fake accessibility: scripted element trees that answer every call from the
// script and record it in the log.
#include <charconv>
#include <cmath>
#include <set>

#include "fake.h"

namespace fake {
namespace {

using platform::AXError;

AxState& ax() { return desktop().ax; }

void note(const std::string& line) {
    if (!ax().quiet) record(line);
}

std::string idText(const platform::Element& e) {
    return e ? std::to_string(idOf(e.get())) : std::string("null");
}

// Shortest text that reads back as the same float, always with a fraction
// part or exponent ("2.0", "10.5", "1e+30").
std::string floatText(float f) {
    if (std::isnan(f)) return "nan";
    if (std::isinf(f)) return f > 0 ? "inf" : "-inf";
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, f);
    std::string s(buf, end);
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

platform::Element newElement(int id) {
    return platform::Element(newRef(platform::HandleKind::element, id));
}

platform::Value toPlatform(const AxValue& script) {
    return std::visit(
        [](const auto& x) -> platform::Value {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, El>) {
                return newElement(x.id);
            } else if constexpr (std::is_same_v<T, AxValue::Array>) {
                platform::Array out;
                for (const auto& item : x) out.push_back(toPlatform(item));
                return out;
            } else if constexpr (std::is_same_v<T, std::monostate>) {
                return {};
            } else {
                return x;
            }
        },
        script.v);
}

AxValue toScript(const platform::Value& value) {
    return std::visit(
        [](const auto& x) -> AxValue {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, platform::Element>) {
                return El{x ? idOf(x.get()) : 0};
            } else if constexpr (std::is_same_v<T, platform::Array>) {
                AxValue::Array out;
                for (const auto& item : x) out.push_back(toScript(item));
                return out;
            } else if constexpr (std::is_same_v<T, std::monostate>) {
                return {};
            } else {
                return x;
            }
        },
        value.v);
}

// The value as the log shows it: strings quoted, elements as "#id".
std::string describe(const platform::Value& value) {
    if (auto s = value.as<std::string>()) return "\"" + *s + "\"";
    if (auto b = value.as<bool>()) return *b ? "true" : "false";
    if (auto i = value.as<std::int64_t>()) return std::to_string(*i);
    if (auto d = value.as<double>()) return std::to_string(*d);
    if (auto e = value.as<platform::Element>()) return "#" + idText(*e);
    if (value.isNone()) return "none";
    return "other";
}

// The live scripted node an element handle names, or null for an empty
// handle, an unscripted id or a destroyed element.
AxNode* live(const platform::Element& e) {
    if (!e) return nullptr;
    auto it = ax().nodes.find(idOf(e.get()));
    if (it == ax().nodes.end() || it->second.gone) return nullptr;
    return &it->second;
}

AxValue::Array* arrayOf(AxNode& node, const std::string& attribute) {
    auto& slot = node.attributes[attribute];
    if (!std::holds_alternative<AxValue::Array>(slot.v)) slot = AxValue::Array{};
    return std::get_if<AxValue::Array>(&slot.v);
}

}  // namespace

AxValue::Array elements(const std::vector<int>& ids) {
    AxValue::Array out;
    for (int id : ids) out.emplace_back(El{id});
    return out;
}

AxValue::Array strings(const std::vector<std::string>& names) {
    AxValue::Array out;
    for (const auto& n : names) out.push_back(n);
    return out;
}

int AxState::element(const std::string& role) {
    int id = nextId++;
    nodes[id];
    if (!role.empty()) set(id, "AXRole", role);
    return id;
}

int AxState::app(std::int32_t pid) {
    auto it = applications.find(pid);
    if (it != applications.end()) return it->second;
    int id = element("AXApplication");
    applications[pid] = id;
    return id;
}

int AxState::window(int appId, const std::string& role) {
    int id = element(role);
    arrayOf(node(appId), "AXWindows")->emplace_back(El{id});
    set(id, "AXParent", El{appId});
    return id;
}

int AxState::child(int parent, const std::string& role) {
    int id = element(role);
    arrayOf(node(parent), "AXChildren")->emplace_back(El{id});
    set(id, "AXParent", El{parent});
    return id;
}

int AxState::systemWide() {
    if (systemWideId == 0) systemWideId = element("AXSystemWide");
    return systemWideId;
}

AxState& AxState::set(int id, const std::string& attribute, AxValue value) {
    node(id).attributes[attribute] = std::move(value);
    return *this;
}

AxState& AxState::fail(int id, const std::string& attribute, platform::AXError error) {
    node(id).readErrors[attribute] = error;
    return *this;
}

AxState& AxState::actions(int id, const std::vector<std::string>& names) {
    node(id).actions = strings(names);
    return *this;
}

void AxState::focus(int id) {
    set(systemWide(), "AXFocusedUIElement", El{id});
    std::set<int> seen;
    for (int at = id; at != 0 && seen.insert(at).second;) {
        for (auto& [pid, appId] : applications)
            if (appId == at) set(appId, "AXFocusedUIElement", El{id});
        const AxValue* parent = value(at, "AXParent");
        const El* e = parent ? std::get_if<El>(&parent->v) : nullptr;
        at = e ? e->id : 0;
    }
}

void AxState::hit(int appId, int elementId, platform::AXError error) {
    hits[appId] = Hit{error, elementId};
}

const AxValue* AxState::value(int id, const std::string& attribute) const {
    auto n = nodes.find(id);
    if (n == nodes.end()) return nullptr;
    auto a = n->second.attributes.find(attribute);
    return a == n->second.attributes.end() ? nullptr : &a->second;
}

}  // namespace fake

namespace platform {

Element axCreateApplication(std::int32_t pid) {
    fake::note("app " + std::to_string(pid));
    auto& apps = fake::ax().applications;
    auto it = apps.find(pid);
    // An unknown process still gets an element; nothing answers through it.
    return fake::newElement(it == apps.end() ? 0 : it->second);
}

Element axCreateSystemWide() {
    fake::note("system-wide");
    return fake::newElement(fake::ax().systemWide());
}

AXError axSetMessagingTimeout(const Element& element, float seconds) {
    fake::note("timeout " + fake::idText(element) + " " + fake::floatText(seconds));
    return fake::live(element) ? kAXErrorSuccess : kAXErrorInvalidUIElement;
}

AXError axCopyAttributeValue(const Element& element, const std::string& attribute, Value& value) {
    fake::note("read " + fake::idText(element) + " " + attribute);
    fake::AxNode* node = fake::live(element);
    if (!node) return kAXErrorInvalidUIElement;
    auto a = node->attributes.find(attribute);
    if (a != node->attributes.end()) value = fake::toPlatform(a->second);
    auto e = node->readErrors.find(attribute);
    if (e != node->readErrors.end()) return e->second;
    return a != node->attributes.end() ? kAXErrorSuccess : kAXErrorAttributeUnsupported;
}

AXError axCopyActionNames(const Element& element, Value& names) {
    fake::note("actions " + fake::idText(element));
    fake::AxNode* node = fake::live(element);
    if (!node) return kAXErrorInvalidUIElement;
    if (node->actionsError != kAXErrorSuccess) return node->actionsError;
    names = fake::toPlatform(node->actions);
    return kAXErrorSuccess;
}

AXError axCopyElementAtPosition(const Element& application, float x, float y, Element& element) {
    fake::note("at " + fake::idText(application) + " " + fake::floatText(x) + " " + fake::floatText(y));
    if (!fake::live(application)) return kAXErrorInvalidUIElement;
    auto it = fake::ax().hits.find(fake::idOf(application.get()));
    if (it == fake::ax().hits.end()) return kAXErrorNoValue;
    if (it->second.error == kAXErrorSuccess && it->second.element != 0)
        element = fake::newElement(it->second.element);
    return it->second.error;
}

AXError axPerformAction(const Element& element, const std::string& action) {
    fake::note("perform " + fake::idText(element) + " " + action);
    fake::AxNode* node = fake::live(element);
    if (!node) return kAXErrorInvalidUIElement;
    AXError result = kAXErrorActionUnsupported;
    if (auto r = node->performResults.find(action); r != node->performResults.end()) {
        result = r->second;
    } else if (auto list = std::get_if<fake::AxValue::Array>(&node->actions.v)) {
        for (const auto& name : *list)
            if (auto s = std::get_if<std::string>(&name.v); s && *s == action) result = kAXErrorSuccess;
    }
    if (result == kAXErrorSuccess)
        if (auto hook = node->onPerform.find(action); hook != node->onPerform.end()) {
            auto run = hook->second;  // the hook may change the script
            run();
        }
    return result;
}

AXError axSetAttributeValue(const Element& element, const std::string& attribute, const Value& value) {
    fake::note("set " + fake::idText(element) + " " + attribute + " " + fake::describe(value));
    fake::AxNode* node = fake::live(element);
    if (!node) return kAXErrorInvalidUIElement;
    if (auto r = node->setResults.find(attribute); r != node->setResults.end() && r->second != kAXErrorSuccess)
        return r->second;
    node->attributes[attribute] = fake::toScript(value);
    return kAXErrorSuccess;
}

// axIsProcessTrusted and axIsProcessTrustedWithPrompt: with the other
// permissions in fake_apps.cpp.

}  // namespace platform
