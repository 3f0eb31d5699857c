#include "mcp/tools.h"

#include <algorithm>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "dispatch/handle.h"

namespace mcp {
namespace {

using nlohmann::json;

// Schema pieces. The whole list is read by the model on every turn: a
// property carries a description only where its name does not say enough.

json typed(const char* type, const char* description = nullptr) {
    json s{{"type", type}};
    if (description) s["description"] = description;
    return s;
}
json number(const char* description = nullptr) { return typed("number", description); }
json integer(const char* description = nullptr) { return typed("integer", description); }
json string(const char* description = nullptr) { return typed("string", description); }
json boolean(const char* description = nullptr) { return typed("boolean", description); }
json arrayOf(json items) { return {{"type", "array"}, {"items", std::move(items)}}; }

json object(json properties, std::initializer_list<const char*> required = {}) {
    json s{{"type", "object"}, {"properties", std::move(properties)}};
    if (required.size() != 0) {
        s["required"] = json::array();
        for (const char* key : required) s["required"].push_back(key);
    }
    return s;
}

// Arguments shared by several operations.
json pointX() { return number("Screen x in points (global, origin top-left of the main display)"); }
json pointY() { return number("Screen y in points, downward"); }
json pid(const char* description = "Process id of the application") { return integer(description); }
json path() { return string("Element id from ax_tree or ax_find, e.g. \"0.2\""); }
json expect() {
    return {{"type", "object"},
            {"description", "Refuse (stale_element) unless the element's role and title are exactly these"},
            {"properties", {{"role", string()}, {"title", string()}}}};
}
json fieldsLeftOut() {
    json f = arrayOf({{"type", "string"}, {"enum", {"title", "description", "value", "secure", "frame", "actions"}}});
    f["description"] = "Record keys to leave out (and not read)";
    return f;
}
// The match keys of ax_find and ax_wait, with their limits.
json searchProperties() {
    return {{"pid", pid()},
            {"role", string("Exact, e.g. AXButton")},
            {"subrole", string()},
            {"title", string("Part of the title, any case")},
            {"text", string("Part of the title, description or value, any case")},
            {"depth", {{"type", "integer"}, {"default", 50}}},
            {"max", {{"type", "integer"}, {"default", 50}}},
            {"fields", fieldsLeftOut()}};
}

// Results shared by several operations.
json rect() { return object({{"x", number()}, {"y", number()}, {"w", number()}, {"h", number()}}, {"x", "y", "w", "h"}); }
json appProperties() {
    return {{"name", string()}, {"bundleId", string()}, {"pid", integer()}, {"active", boolean()}, {"hidden", boolean()}};
}
json app() { return object(appProperties(), {"name", "bundleId", "pid", "active", "hidden"}); }
json window() {
    return object({{"id", integer()},
                   {"pid", integer()},
                   {"app", string()},
                   {"bundleId", string()},
                   {"title", string()},
                   {"layer", integer()},
                   {"bounds", rect()}},
                  {"id", "pid", "app", "bundleId", "title", "layer", "bounds"});
}
json element() {
    return object({{"id", string()},
                   {"role", string()},
                   {"title", string()},
                   {"description", string()},
                   {"value", {{"type", json::array({"string", "number"})}}},
                   {"secure", boolean()},
                   {"frame", rect()},
                   {"actions", arrayOf(string())}},
                  {"id", "role"});
}
json ok() { return object({{"ok", boolean()}}, {"ok"}); }
json outcome() { return object({{"ok", boolean("Whether the system accepted the action")}}, {"ok"}); }

enum class Kind {
    query,       // reads the desktop, changes nothing
    idempotent,  // acts; doing it twice is doing it once
    action,      // acts
};

struct Tool {
    const char* name;
    const char* title;
    const char* description;
    json input;
    json output;
    Kind kind;
};

std::vector<Tool> written() {
    const json noArguments = object(json::object());
    return {
        {"permissions", "Permissions", "Whether the agent may record the screen and use accessibility. Never prompts.",
         noArguments, object({{"screen", boolean()}, {"accessibility", boolean()}}, {"screen", "accessibility"}),
         Kind::query},
        {"request_permission", "Request permission",
         "Ask the user to grant screen recording (kind \"screen\") or accessibility (otherwise). Returns at once; "
         "check with permissions later.",
         object({{"kind", {{"type", "string"}, {"enum", {"accessibility", "screen"}}}}}), ok(), Kind::idempotent},
        {"apps", "Applications", "Running applications: name, bundleId, pid, active, hidden.", noArguments,
         object({{"apps", arrayOf(app())}}, {"apps"}), Kind::query},
        {"frontmost", "Frontmost application", "The frontmost application; {} when none.", noArguments,
         object(appProperties()), Kind::query},
        {"windows", "Windows", "On-screen normal windows, front to back: id, pid, app, title, bounds.", noArguments,
         object({{"windows", arrayOf(window())}}, {"windows"}), Kind::query},
        {"at", "Window at point", "The front window containing a screen point (pid, app, windowId); {} when none.",
         object({{"x", pointX()}, {"y", pointY()}}, {"x", "y"}),
         object({{"pid", integer()}, {"bundleId", string()}, {"app", string()}, {"windowId", integer()}}),
         Kind::query},
        {"display", "Main display", "Bounds of the main display in points.", noArguments, rect(), Kind::query},
        {"focus_info", "Focus", "The focused element of app pid (else system-wide): role, subrole, secure (a password field).",
         object({{"pid", pid()}}),
         object({{"secureInput", boolean()},
                 {"secure", boolean()},
                 {"role", string()},
                 {"subrole", string()},
                 {"timedOut", boolean("The application did not answer in time")}},
                {"secureInput", "secure"}),
         Kind::query},
        {"mouse", "Click", "Click at a screen point (count 2 or 3: double, triple), or only move the pointer (kind \"move\").",
         object({{"x", pointX()},
                 {"y", pointY()},
                 {"kind", {{"type", "string"}, {"enum", {"click", "move"}}, {"default", "click"}}},
                 {"button", {{"type", "string"}, {"enum", {"left", "right"}}, {"default", "left"}}},
                 {"count", {{"type", "integer"}, {"minimum", 1}, {"maximum", 3}, {"default", 1}}}},
                {"x", "y"}),
         ok(), Kind::action},
        {"drag", "Drag", "Drag with the left button from one screen point to another.",
         object({{"from", object({{"x", number()}, {"y", number()}}, {"x", "y"})},
                 {"to", object({{"x", number()}, {"y", number()}}, {"x", "y"})}},
                {"from", "to"}),
         ok(), Kind::action},
        {"type", "Type text",
         "Type text into the focused field (of app pid when given); \\n presses Return. Refused while a password field "
         "has focus.",
         object({{"text", string()}, {"pid", pid()}}, {"text"}), ok(), Kind::action},
        {"key", "Press key",
         "Press a key by macOS virtual key code with modifiers, e.g. 36 Return, 48 Tab, 49 Space, 51 Backspace, "
         "53 Escape, 123-126 Left Right Down Up, 0 A, 8 C, 9 V. \"cmd\" is Control on Linux.",
         object({{"code", {{"type", "integer"}, {"minimum", 0}, {"maximum", 65535}}},
                 {"mods", arrayOf({{"type", "string"}, {"enum", {"cmd", "shift", "alt", "ctrl", "fn"}}})},
                 {"pid", pid()}},
                {"code"}),
         ok(), Kind::action},
        {"scroll", "Scroll", "Scroll at a screen point by lines (positive dx: right, dy: down).",
         object({{"x", pointX()}, {"y", pointY()}, {"dx", integer()}, {"dy", integer()}, {"pid", pid()}}, {"x", "y"}),
         ok(), Kind::action},
        {"activate", "Activate", "Bring the application with this pid to the front.", object({{"pid", pid()}}, {"pid"}),
         ok(), Kind::idempotent},
        {"launch", "Launch",
         "Open an application by bundle id (on Linux its desktop-file id, e.g. org.gnome.TextEditor); in the background "
         "unless background is false.",
         object({{"bundleId", string()}, {"background", {{"type", "boolean"}, {"default", true}}}}, {"bundleId"}), ok(),
         Kind::action},
        {"ax_tree", "Accessibility tree",
         "Snapshot an application's accessibility elements, depth-first, up to depth levels and max elements. Each "
         "element's id is its path for ax_press, ax_focus, ax_info and ax_set.",
         object({{"pid", pid()},
                 {"depth", {{"type", "integer"}, {"default", 8}}},
                 {"max", {{"type", "integer"}, {"default", 300}}},
                 {"fields", fieldsLeftOut()}},
                {"pid"}),
         object({{"elements", arrayOf(element())},
                 {"truncated", boolean("More elements than max")},
                 {"timedOut", boolean("The application stopped answering")}},
                {"elements", "truncated"}),
         Kind::query},
        {"ax_press_at", "Press at point", "Press the accessibility element of app pid under a screen point.",
         object({{"pid", pid()}, {"x", pointX()}, {"y", pointY()}}, {"pid", "x", "y"}),
         object({{"ok", boolean()}, {"role", string()}}, {"ok"}), Kind::action},
        {"ax_press", "Press element", "Press an element (AXPress) given by its ax_tree id.",
         object({{"pid", pid()}, {"path", path()}, {"expect", expect()}}, {"pid", "path"}), outcome(), Kind::action},
        {"ax_focus", "Focus element", "Give keyboard focus to an element given by its ax_tree id.",
         object({{"pid", pid()}, {"path", path()}, {"expect", expect()}}, {"pid", "path"}), outcome(), Kind::idempotent},
        {"ax_info", "Element info", "An element's role and whether it is a password field (secure).",
         object({{"pid", pid()}, {"path", path()}, {"expect", expect()}}, {"pid", "path"}),
         object({{"role", string()}, {"secure", boolean()}, {"secureInput", boolean()}}, {"role", "secure", "secureInput"}),
         Kind::query},
        {"ax_set", "Set value", "Set an element's text value; refused on a password field.",
         object({{"pid", pid()}, {"path", path()}, {"value", string()}, {"expect", expect()}}, {"pid", "path"}), outcome(),
         Kind::idempotent},
        {"ax_find", "Find elements",
         "The elements of app pid matching role, subrole, title and text, in ax_tree's form, without reading the "
         "whole tree.",
         object(searchProperties(), {"pid"}),
         object({{"elements", arrayOf(element())},
                 {"truncated", boolean("More matched than max, or the search stopped at its limits")},
                 {"timedOut", boolean("The application stopped answering")}},
                {"elements", "truncated"}),
         Kind::query},
        {"ax_wait", "Wait for elements",
         "Wait until an element of app pid matches (or, with gone, none does), up to timeout ms (default 5000, "
         "at most 60000).",
         [] {
             json p = searchProperties();
             p["gone"] = {{"type", "boolean"}, {"default", false}};
             p["timeout"] = {{"type", "integer"}, {"minimum", 0}, {"maximum", 60000}, {"default", 5000}};
             return object(std::move(p), {"pid"});
         }(),
         object({{"met", boolean()},
                 {"elements", arrayOf(element())},
                 {"elapsed", integer("Milliseconds waited")},
                 {"timedOut", boolean("The application stopped answering")}},
                {"met", "elements", "elapsed"}),
         Kind::query},
        {"screenshot", "Screenshot",
         "PNG of a window (windowId), a region (x, y, w, h) or the main display, scaled down to maxWidth pixels if "
         "wider. Pixel (px, py) shows point (x + px/scale, y + py/scale).",
         object({{"windowId", integer()},
                 {"x", number()},
                 {"y", number()},
                 {"w", number()},
                 {"h", number()},
                 {"maxWidth", {{"type", "integer"}, {"minimum", 1}}}}),
         object({{"width", integer()},
                 {"height", integer()},
                 {"x", number()},
                 {"y", number()},
                 {"w", number()},
                 {"h", number()},
                 {"scale", number("Pixels per point")}},
                {"width", "height", "x", "y", "w", "h", "scale"}),
         Kind::query},
    };
}

json annotations(Kind kind) {
    json a{{"readOnlyHint", kind == Kind::query}, {"destructiveHint", false}, {"openWorldHint", false}};
    if (kind != Kind::query) a["idempotentHint"] = kind == Kind::idempotent;
    return a;
}

json listing() {
    std::vector<Tool> table = written();
    json list = json::array();
    for (std::string_view name : dispatch::operationNames()) {
        auto tool = std::find_if(table.begin(), table.end(), [&](const Tool& t) { return t.name == name; });
        if (tool == table.end()) {
            // An operation without its own entry yet: served all the same, with
            // the arguments its protocol documents.
            list.push_back({{"name", std::string(name)},
                            {"description", "The agent's \"" + std::string(name) + "\" operation."},
                            {"inputSchema", {{"type", "object"}}},
                            {"annotations", annotations(Kind::action)}});
            continue;
        }
        list.push_back({{"name", tool->name},
                        {"title", tool->title},
                        {"description", tool->description},
                        {"inputSchema", std::move(tool->input)},
                        {"outputSchema", std::move(tool->output)},
                        {"annotations", annotations(tool->kind)}});
    }
    return list;
}

}  // namespace

const nlohmann::json& tools() {
    static const json list = listing();
    return list;
}

bool isTool(std::string_view name) {
    for (std::string_view op : dispatch::operationNames())
        if (op == name) return true;
    return false;
}

}  // namespace mcp
