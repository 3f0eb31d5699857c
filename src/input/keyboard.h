// Key presses and Unicode typing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace input {

std::uint64_t flags(const std::vector<std::string>& names);
void key(std::uint16_t code, const std::vector<std::string>& mods, std::optional<std::int32_t> pid);
// `text` is UTF-8; it is typed as UTF-16 chunks of at most 16 units per event.
void typeText(const std::string& text, std::optional<std::int32_t> pid);

}  // namespace input
