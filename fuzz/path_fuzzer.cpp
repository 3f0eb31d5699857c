// The element-path reader, and resolution against the scripted tree. Checks
// parsePath against a plain reading of the rule (components split at '.', each
// an optional sign and ASCII digits within 64 bits, anything else skipped), and
// that resolve() reaches exactly the element the script holds there, or fails
// with "stale_element", giving back every platform reference either way.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ax/paths.h"
#include "channel/failure.h"
#include "fake.h"
#include "scripted_desktop.h"

namespace {

[[noreturn]] void fail(const char* what, std::string_view detail) {
    std::fprintf(stderr, "invariant broken: %s\n%.*s\n", what, static_cast<int>(detail.size()), detail.data());
    std::abort();
}

std::optional<std::int64_t> readComponent(std::string_view c) {
    bool negative = false;
    if (!c.empty() && (c.front() == '-' || c.front() == '+')) {
        negative = c.front() == '-';
        c.remove_prefix(1);
    }
    if (c.empty()) return std::nullopt;
    // The magnitude, saturated at 2^64 - 1: anything that large is out of range.
    std::uint64_t v = 0;
    for (char ch : c) {
        if (ch < '0' || ch > '9') return std::nullopt;
        unsigned digit = static_cast<unsigned>(ch - '0');
        v = v > (UINT64_MAX - digit) / 10 ? UINT64_MAX : v * 10 + digit;
    }
    constexpr std::uint64_t kTop = std::uint64_t{1} << 63;  // |INT64_MIN|
    if (negative) {
        if (v > kTop) return std::nullopt;
        return v == kTop ? INT64_MIN : -static_cast<std::int64_t>(v);
    }
    if (v >= kTop) return std::nullopt;
    return static_cast<std::int64_t>(v);
}

std::vector<std::int64_t> expectedIndices(std::string_view path) {
    std::vector<std::int64_t> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '.') {
            if (auto v = readComponent(path.substr(start, i - start))) out.push_back(*v);
            start = i + 1;
        }
    }
    return out;
}

std::vector<int> scriptedList(int id, const char* attribute) {
    std::vector<int> out;
    const auto& nodes = fake::desktop().ax.nodes;
    auto n = nodes.find(id);
    if (n == nodes.end() || n->second.gone) return out;
    const fake::AxValue* v = fake::desktop().ax.value(id, attribute);
    const auto* list = v ? std::get_if<fake::AxValue::Array>(&v->v) : nullptr;
    if (!list) return out;
    for (const auto& item : *list)
        if (const auto* e = std::get_if<fake::El>(&item.v)) out.push_back(e->id);
    return out;
}

// The element id the script holds at the indices; none when the path leads nowhere.
std::optional<int> expectedElement(int app, const std::vector<std::int64_t>& indices) {
    if (indices.empty()) return std::nullopt;
    std::vector<int> list = scriptedList(app, "AXWindows");
    int current = 0;
    for (std::size_t i = 0; i < indices.size(); ++i) {
        if (i > 0) list = scriptedList(current, "AXChildren");
        if (indices[i] < 0 || static_cast<std::uint64_t>(indices[i]) >= list.size()) return std::nullopt;
        current = list[static_cast<std::size_t>(indices[i])];
    }
    return current;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view path(reinterpret_cast<const char*>(data), size);
    std::vector<std::int64_t> indices = ax::parsePath(path);
    if (indices != expectedIndices(path)) fail("parsePath differs from the rule", path);

    fuzzdesk::Ids ids = fuzzdesk::script(false);
    const long refsBefore = fake::outstandingRefs();
    std::optional<int> expected = expectedElement(ids.app, indices);
    try {
        platform::Element e = ax::resolve(fuzzdesk::kPid, path);
        if (!e) fail("resolve returned an empty element", path);
        if (!expected || fake::idOf(e.get()) != *expected) fail("resolve reached the wrong element", path);
    } catch (const channel::Failure& f) {
        if (f.code != "stale_element") fail("resolve failed with another code", path);
        if (expected) fail("resolve gave up on an element that exists", path);
    }
    if (fake::outstandingRefs() != refsBefore) fail("platform references leaked", path);
    return 0;
}
