// Finding elements of an application's tree by what they are and say.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "ax/tree.h"

namespace ax {

// What an element must be to match; an absent key matches everything.
struct Match {
    std::optional<std::string> role;     // "AXRole", exactly ("" when it has none)
    std::optional<std::string> subrole;  // "AXSubrole", exactly ("" when it has none)
    std::optional<std::string> title;    // within "AXTitle", regardless of case
    std::optional<std::string> text;     // within the title, description or value, regardless of case
};

// Elements visited, at most, by one search: a search of a huge or endless
// tree ends, and says it did not see everything.
inline constexpr std::size_t kFindVisits = 50000;

struct Found {
    nlohmann::json elements = nlohmann::json::array();  // records of the first `max` matches
    bool more = false;      // a match beyond the first `max` was reached
    bool cut = false;       // the walk ended before the end of the tree (its budgets)
    bool deeper = false;    // the depth limit left elements below it unread
    bool timedOut = false;  // an application did not answer in time

    bool any() const { return !elements.empty() || more; }
    bool truncated() const { return more || cut || deeper; }
};

// The matching elements in walk order, with their records as a snapshot
// writes them. The walk ends at the first match beyond `max`, so "more" costs
// at most one element's reads beyond the answer. A password field's value is
// never read, so "text" never matches one by its value.
Found find(std::int32_t pid, const Match& match, std::int64_t depth, std::int64_t max, const Fields& fields = {});

}  // namespace ax
