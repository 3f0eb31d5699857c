#include "ax/tree.h"

#include <cmath>
#include <string>
#include <vector>

#include "ax/attributes.h"
#include "ax/text.h"

namespace ax {
namespace {

using nlohmann::json;
using platform::Element;

constexpr std::size_t kValueLimit = 200;  // string values
constexpr std::size_t kActionLimit = 6;

std::optional<json> actionsOf(const Element& element) {
    platform::Value names;
    if (noteTimeout(platform::axCopyActionNames(element, names)) != platform::kAXErrorSuccess) return std::nullopt;
    auto* list = names.as<platform::Array>();
    if (!list || list->empty()) return std::nullopt;
    json out = json::array();
    for (const auto& item : *list) {
        auto* name = item.as<std::string>();
        if (!name) return std::nullopt;
        if (out.size() < kActionLimit) out.push_back(*name);
    }
    return out;
}

}  // namespace

std::optional<json> valueOf(const Element& element) {
    auto value = attr(element, "AXValue");
    if (!value) return std::nullopt;
    if (auto* s = value->as<std::string>()) {
        if (s->empty()) return std::nullopt;
        return *s;
    }
    if (auto* i = value->as<std::int64_t>()) return *i;
    if (auto* d = value->as<double>()) {
        if (!std::isfinite(*d)) return std::nullopt;  // JSON has no text for it
        return *d;
    }
    return std::nullopt;
}

// The record of one element, read in this order: role, title, description,
// secure-field test, value (never for a secure field), frame, actions; what
// `fields` leaves out is skipped.
json record(const Element& element, const std::string& path, const Fields& fields) {
    json r = json::object();
    r["id"] = path;
    r["role"] = str(element, "AXRole").value_or("");
    if (fields.title)
        if (auto title = str(element, "AXTitle"); title && !title->empty()) r["title"] = prefix(*title, kTextLimit);
    if (fields.description)
        if (auto text = str(element, "AXDescription"); text && !text->empty())
            r["description"] = prefix(*text, kTextLimit);
    if (fields.secure || fields.value) {
        if (isSecure(element)) {
            if (fields.secure) r["secure"] = true;
        } else if (fields.value) {
            if (auto value = valueOf(element))
                r["value"] = value->is_string() ? json(prefix(value->get_ref<const std::string&>(), kValueLimit))
                                                : std::move(*value);
        }
    }
    if (fields.frame)
        if (auto f = frame(element)) r["frame"] = std::move(*f);
    if (fields.actions)
        if (auto actions = actionsOf(element)) r["actions"] = std::move(*actions);
    return r;
}

namespace {

// One open level of the walk: the elements still to visit there.
struct Level {
    std::vector<Element> items;
    std::size_t next = 0;
    std::size_t pathLength = 0;  // length of the parent's path; 0 for the windows
    std::int64_t level = 1;      // the level of the items
};

}  // namespace

void walk(std::int32_t pid, const Visitor& visit) {
    std::vector<Level> stack;
    stack.push_back(Level{windows(pid)});
    std::string path;
    while (!stack.empty()) {
        Level& open = stack.back();
        if (open.next == open.items.size()) {
            stack.pop_back();
            continue;
        }
        std::size_t index = open.next++;
        Element element = std::move(open.items[index]);
        std::int64_t level = open.level;
        path.resize(open.pathLength);
        if (open.pathLength != 0) path += '.';
        path += std::to_string(index);

        Visit next = visit(element, path, level);
        if (next == Visit::stop) return;
        if (next == Visit::enter) {
            auto kids = children(element);
            if (!kids.empty()) stack.push_back(Level{std::move(kids), 0, path.size(), level + 1});
        }
    }
}

// The cap is tested when an element is reached, before anything of it is
// read; once the list is full every element reached after it only sets the
// flag, so the walk can stop at the first one.
//
// A read the application did not answer in time counts as absent, like any
// other fault, and the answer then says "timedOut": the controller can tell a
// partial tree from a complete one. The backend does not wait for that
// application again within the request, so the rest of the walk is quick.
json tree(std::int32_t pid, std::int64_t depth, std::int64_t max, const Fields& fields) {
    const std::uint64_t timeoutsBefore = timeouts();
    json records = json::array();
    bool truncated = false;
    std::size_t idBytes = 0;
    walk(pid, [&](const Element& element, const std::string& path, std::int64_t level) {
        if (static_cast<std::int64_t>(records.size()) >= max || idBytes + path.size() > kIdBudget) {
            truncated = true;
            return Visit::stop;
        }
        idBytes += path.size();
        records.push_back(record(element, path, fields));
        return level < depth ? Visit::enter : Visit::leaf;
    });
    json answer{{"elements", std::move(records)}, {"truncated", truncated}};
    if (timeouts() != timeoutsBefore) answer["timedOut"] = true;
    return answer;
}

}  // namespace ax
