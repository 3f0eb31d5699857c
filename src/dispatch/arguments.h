// Reading arguments from a request object. Lenient: a missing or ill-typed
// argument is absent or takes its default; only a few are required.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/platform.h"

namespace dispatch {

using nlohmann::json;

// The value under `key` at the top level of the request; null when absent.
const json* arg(const json& request, std::string_view key);

// A number (or a boolean as 1/0) as a double; absent for anything else.
std::optional<double> num(const json* value);
// num() truncated toward zero into 32 bits (0 when absent). Throws "bad_args"
// naming `name` when the number lies outside (-2147483649, 2147483648).
std::int32_t int32(const json* value, std::string_view name);
// Two numbers "x" and "y", from the object under `key` when it holds one, else
// from the top level. Throws "Missing point".
platform::Point point(const json& request, const char* key = nullptr);
// The number under "pid" as a 32-bit process id; absent when not a number.
std::optional<std::int32_t> pidOf(const json& request);

// Truncation toward zero with the accepted ranges; out of range or not finite
// throws "bad_args" naming the argument.
std::int64_t toInt64(double value, std::string_view name);
std::int32_t toInt32(double value, std::string_view name);
std::uint16_t toUInt16(double value, std::string_view name);

std::optional<std::string> string(const json& request, std::string_view key);
std::optional<bool> boolean(const json& request, std::string_view key);
// An array of strings only; anything else is absent.
std::optional<std::vector<std::string>> stringList(const json& request, std::string_view key);

}  // namespace dispatch
