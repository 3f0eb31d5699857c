#include "ax/find.h"

#include "ax/attributes.h"
#include "ax/text.h"

namespace ax {
namespace {

using nlohmann::json;
using platform::Element;

// The match with its texts folded once, for comparing without regard to case.
struct Folded {
    const Match& match;
    std::optional<std::string> title;
    std::optional<std::string> text;

    explicit Folded(const Match& m) : match(m) {
        if (m.title) title = folded(*m.title);
        if (m.text) text = folded(*m.text);
    }
};

bool within(const std::string& haystack, const std::string& foldedNeedle) {
    return folded(haystack).find(foldedNeedle) != std::string::npos;
}

// The value as text: a string as it is, a number as a record writes it.
std::optional<std::string> valueText(const Element& element) {
    auto value = valueOf(element);
    if (!value) return std::nullopt;
    return value->is_string() ? value->get<std::string>() : value->dump();
}

// Reads only what the match needs, cheapest first, and stops at the first
// key that fails.
bool matches(const Element& element, const Folded& m) {
    if (m.match.role && str(element, "AXRole").value_or("") != *m.match.role) return false;
    if (m.match.subrole && str(element, "AXSubrole").value_or("") != *m.match.subrole) return false;
    std::optional<std::string> title;
    auto titleOf = [&]() -> const std::string& {
        if (!title) title = str(element, "AXTitle").value_or("");
        return *title;
    };
    if (m.title && !within(titleOf(), *m.title)) return false;
    if (!m.text) return true;
    if (within(titleOf(), *m.text)) return true;
    if (within(str(element, "AXDescription").value_or(""), *m.text)) return true;
    if (isSecure(element)) return false;
    auto value = valueText(element);
    return value && within(*value, *m.text);
}

}  // namespace

Found find(std::int32_t pid, const Match& match, std::int64_t depth, std::int64_t max, const Fields& fields) {
    const std::uint64_t timeoutsBefore = timeouts();
    const Folded m(match);
    Found found;
    std::size_t visited = 0;
    std::size_t idBytes = 0;
    walk(pid, [&](const Element& element, const std::string& path, std::int64_t level) {
        if (visited == kFindVisits) {
            found.cut = true;
            return Visit::stop;
        }
        ++visited;
        if (matches(element, m)) {
            if (static_cast<std::int64_t>(found.elements.size()) >= max) {
                found.more = true;
                return Visit::stop;
            }
            if (idBytes + path.size() > kIdBudget) {
                found.cut = true;
                return Visit::stop;
            }
            idBytes += path.size();
            found.elements.push_back(record(element, path, fields));
        }
        if (level < depth) return Visit::enter;
        // Below the limit nothing is searched; whether anything is there is
        // read once, to say so.
        if (!found.deeper && !children(element).empty()) found.deeper = true;
        return Visit::leaf;
    });
    found.timedOut = timeouts() != timeoutsBefore;
    return found;
}

}  // namespace ax
