// Our thin layer over the JSON library: guarded parsing of request lines and
// compact, always-writable serialisation.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace channel {

inline constexpr std::size_t kMaxLineBytes = std::size_t{16} << 20;  // 16 MiB
inline constexpr int kMaxDepth = 128;

struct Request {
    nlohmann::json object;  // the whole request object
    std::string id;         // the compact JSON text of its "id" ("null" when absent)
};

// A line parsed under the same guards as a request, whatever JSON value it
// holds: none when the line is too long, holds a NUL byte, nests deeper than
// kMaxDepth or is not valid JSON. `object` may then be any value; `id` is the
// text of its "id" when it is an object that has one, else "null".
std::optional<Request> parseLine(std::string_view line);

// A request line (without its terminator) parsed into a request; none when the
// line is too long, holds a NUL byte, nests deeper than kMaxDepth, is not valid
// JSON or is not an object. A number beyond the range of a double (1e400) is
// read as an infinity of its sign; an "id" holding one is null in the object
// (its text is what is echoed).
std::optional<Request> parseRequest(std::string_view line);

// Compact JSON text; bytes that are not valid UTF-8 are replaced (U+FFFD).
std::string dump(const nlohmann::json& value);

}  // namespace channel
