// Snapshots of an application's accessibility tree, and the walk they share
// with searches.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/platform.h"

namespace ax {

// The keys of an element record a caller wants; "id" and "role" are always
// written. A key not wanted is not read either ("secure" is the exception:
// whether a field is a password field is read whenever its value is wanted,
// so that a password is never read, wanted or not).
struct Fields {
    bool title = true;
    bool description = true;
    bool secure = true;
    bool value = true;
    bool frame = true;
    bool actions = true;
};

// Characters of a record's title and description, at most.
inline constexpr std::size_t kTextLimit = 120;

// The element's "AXValue" as a record holds it, before any cut: a string of
// at least one character, or a finite number. Anything else gives nothing.
std::optional<nlohmann::json> valueOf(const platform::Element& element);

// The record of one element: "id", "role", then what `fields` asks for.
nlohmann::json record(const platform::Element& element, const std::string& path, const Fields& fields = {});

// What the walk does with an element it reached.
enum class Visit {
    leaf,   // go on with the next element, without its children
    enter,  // walk its children next
    stop,   // end the walk
};
using Visitor = std::function<Visit(const platform::Element& element, const std::string& path, std::int64_t level)>;

// Depth-first pre-order over the application's windows (level 1, paths "0",
// "1"...) and their descendants (path of the parent, ".", index), with an
// explicit stack so that nesting costs heap, not call stack. Children are
// read only for elements the visitor enters.
void walk(std::int32_t pid, const Visitor& visit);

// The ids recorded by one answer together may take at most this many bytes.
// Ids grow with depth, so on a very deep tree their total grows with the
// square of the depth; without a bound a hostile depth and cap could exhaust
// memory. No real interface comes near it (a 300-element tree at depth 8
// uses a few kilobytes). Once spent, the list counts as full.
inline constexpr std::size_t kIdBudget = 16u << 20;

// {"elements": [records], "truncated": bool}, plus "timedOut": true when an
// application did not answer in time.
nlohmann::json tree(std::int32_t pid, std::int64_t depth, std::int64_t max, const Fields& fields = {});

}  // namespace ax
