#include "ax/paths.h"

#include <charconv>

#include "ax/attributes.h"
#include "channel/failure.h"

namespace ax {
namespace {

// A component as a signed 64-bit decimal: optional sign, at least one ASCII
// digit, nothing else.
std::optional<std::int64_t> component(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    for (char c : text)
        if (c < '0' || c > '9') return std::nullopt;
    // Read the magnitude as unsigned so that -9223372036854775808 fits.
    std::uint64_t magnitude = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    constexpr std::uint64_t kLimit = 9223372036854775807ull;
    if (negative) {
        if (magnitude > kLimit + 1) return std::nullopt;
        return magnitude == kLimit + 1 ? INT64_MIN : -static_cast<std::int64_t>(magnitude);
    }
    if (magnitude > kLimit) return std::nullopt;
    return static_cast<std::int64_t>(magnitude);
}

// The item at `index` taken out of the list, or a stale-element failure.
platform::Element take(std::vector<platform::Element>& list, std::int64_t index) {
    if (index < 0 || static_cast<std::uint64_t>(index) >= list.size()) stale();
    return std::move(list[static_cast<std::size_t>(index)]);
}

}  // namespace

void stale() { throw channel::Failure{"That element is gone. Read ui_tree again.", "stale_element"}; }

std::vector<std::int64_t> parsePath(std::string_view path) {
    std::vector<std::int64_t> indices;
    while (true) {
        auto dot = path.find('.');
        if (auto index = component(path.substr(0, dot))) indices.push_back(*index);
        if (dot == std::string_view::npos) break;
        path.remove_prefix(dot + 1);
    }
    return indices;
}

platform::Element resolve(std::int32_t pid, std::string_view path) {
    auto indices = parsePath(path);
    auto list = windows(pid);
    if (indices.empty()) stale();
    platform::Element current = take(list, indices[0]);
    list.clear();
    for (std::size_t i = 1; i < indices.size(); ++i) {
        list = children(current);
        current = take(list, indices[i]);
        list.clear();
    }
    return current;
}

}  // namespace ax
