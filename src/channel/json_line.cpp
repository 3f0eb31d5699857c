#include "channel/json_line.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

namespace channel {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Index just past the string token that starts at `i` (a '"'), or npos.
std::size_t skipString(std::string_view s, std::size_t i) {
    for (++i; i < s.size(); ++i) {
        if (s[i] == '\\')
            ++i;
        else if (s[i] == '"')
            return i + 1;
    }
    return std::string_view::npos;
}

bool isNumberChar(char c) {
    return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

// The length of the run of number characters at `i`.
std::size_t numberRun(std::string_view s, std::size_t i) {
    std::size_t end = i;
    while (end < s.size() && isNumberChar(s[end])) ++end;
    return end - i;
}

// A JSON number token, whatever its magnitude.
bool isNumberToken(std::string_view t) {
    std::size_t i = 0;
    auto digits = [&] {
        std::size_t start = i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
        return i > start;
    };
    if (i < t.size() && t[i] == '-') ++i;
    if (i < t.size() && t[i] == '0')
        ++i;
    else if (!digits())
        return false;
    if (i < t.size() && t[i] == '.' && (++i, !digits())) return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        if (!digits()) return false;
    }
    return i == t.size();
}

// Whether a JSON number token lies beyond the range of a double, which the
// library refuses. The power of ten of its first digit that is not zero tells
// for all but the values between 1e308 and 1e309; those are rounded by the C
// library as the JSON library does, written without a decimal point so that
// the locale cannot change how they read.
bool beyondDouble(std::string_view t) {
    auto digit = [&](std::size_t i) { return i < t.size() && t[i] >= '0' && t[i] <= '9'; };
    std::size_t i = t[0] == '-' ? 1 : 0;
    const std::size_t intStart = i;
    while (digit(i)) ++i;
    const std::size_t intEnd = i;
    std::size_t fracStart = intEnd, fracEnd = intEnd;
    if (i < t.size() && t[i] == '.') {
        fracStart = ++i;
        while (digit(i)) ++i;
        fracEnd = i;
    }
    // The exponent, held at a bound far past any that matters.
    constexpr std::int64_t kBound = std::int64_t{1} << 40;
    std::int64_t exponent = 0;
    if (i < t.size()) {
        bool negative = t[++i] == '-';
        if (t[i] == '+' || t[i] == '-') ++i;
        for (; i < t.size(); ++i) exponent = std::min(exponent * 10 + (t[i] - '0'), kBound);
        if (negative) exponent = -exponent;
    }
    std::size_t first = intStart;  // the first digit that is not zero
    std::int64_t power;            // the power of ten it stands for, without the exponent
    if (t[intStart] != '0') {
        power = static_cast<std::int64_t>(intEnd - intStart) - 1;
    } else {
        first = fracStart;
        while (first < fracEnd && t[first] == '0') ++first;
        if (first == fracEnd) return false;  // zero, whatever the exponent
        power = -static_cast<std::int64_t>(first - fracStart) - 1;
    }
    const std::int64_t magnitude = power + exponent;  // the value lies in [10^m, 10^(m+1))
    if (magnitude < 308) return false;
    if (magnitude > 308) return true;
    std::string digits;
    for (std::size_t k = first; k < fracEnd; ++k)
        if (t[k] != '.') digits.push_back(t[k]);
    digits += "e" + std::to_string(308 - (static_cast<std::int64_t>(digits.size()) - 1));
    return std::isinf(std::strtod(digits.c_str(), nullptr));
}

// A number token beyond the range of a double. A line may hold millions of
// them: each takes 8 bytes here, its length and sign are read again from the text.
struct HugeNumber {
    std::uint32_t at;       // offset in the line
    std::uint32_t ordinal;  // how many number tokens come before it
};
static_assert(kMaxLineBytes + 1 <= std::numeric_limits<std::uint32_t>::max());

// What one pass over the raw text tells before the library parses it: the
// nesting stays within bounds, there is no NUL byte, where the top-level
// object's "id" value lies (the last one, as duplicate keys keep the last),
// and which number tokens the library would refuse as beyond double range.
struct Scan {
    bool acceptable = false;
    std::string_view id;  // raw text of the "id" value; empty when absent
    std::vector<HugeNumber> huge;
};

Scan scan(std::string_view s) {
    Scan out;
    int depth = 0;
    bool keyIsId = false;      // at depth 1: the key just read is "id"
    bool expectKey = false;    // at depth 1: the next string is a key
    std::size_t valueStart = std::string_view::npos;
    std::size_t numbers = 0;   // number tokens so far
    for (std::size_t i = 0; i < s.size();) {
        char c = s[i];
        if (c == '\0') return out;
        if (c == '-' || (c >= '0' && c <= '9')) {
            // A run of the characters numbers are made of. In a line the
            // library reads, each run is one number token and one number value.
            std::string_view token = s.substr(i, numberRun(s, i));
            // Without an exponent, fewer than 309 digits are always within range.
            bool exponent = token.find_first_of("eE") != std::string_view::npos;
            if ((exponent || token.size() > 308) && isNumberToken(token) && beyondDouble(token))
                out.huge.push_back({static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(numbers)});
            ++numbers;
            i += token.size();
            continue;
        }
        if (c == '"') {
            std::size_t end = skipString(s, i);
            if (end == std::string_view::npos) return out;
            if (depth == 1 && expectKey) {
                std::string_view token = s.substr(i, end - i);
                if (token.find('\\') == std::string_view::npos) {
                    keyIsId = token == "\"id\"";
                } else {
                    auto key = nlohmann::json::parse(token, nullptr, false);
                    keyIsId = key.is_string() && key.get_ref<const std::string&>() == "id";
                }
                expectKey = false;
            }
            i = end;
            continue;
        }
        if (c == '{' || c == '[') {
            if (++depth > kMaxDepth) return out;
            if (depth == 1) expectKey = c == '{';
        } else if (c == '}' || c == ']') {
            if (depth == 1 && valueStart != std::string_view::npos) {
                out.id = s.substr(valueStart, i - valueStart);
                valueStart = std::string_view::npos;
            }
            --depth;
        } else if (depth == 1 && c == ':') {
            if (keyIsId) valueStart = i + 1;
            keyIsId = false;
        } else if (depth == 1 && c == ',') {
            if (valueStart != std::string_view::npos) {
                out.id = s.substr(valueStart, i - valueStart);
                valueStart = std::string_view::npos;
            }
            expectKey = true;
        }
        ++i;
    }
    out.acceptable = true;
    return out;
}

// The raw value text without the blanks between its tokens.
std::string compact(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size();) {
        if (raw[i] == '"') {
            std::size_t end = skipString(raw, i);
            out.append(raw.substr(i, end - i));
            i = end;
        } else {
            if (!isBlank(raw[i])) out.push_back(raw[i]);
            ++i;
        }
    }
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The code unit of a "\uXXXX" escape starting at `i`, or -1.
long escapedUnit(std::string_view s, std::size_t i) {
    if (i + 6 > s.size() || s[i] != '\\' || s[i + 1] != 'u') return -1;
    long unit = 0;
    for (std::size_t k = i + 2; k < i + 6; ++k) {
        int h = hexValue(s[k]);
        if (h < 0) return -1;
        unit = unit * 16 + h;
    }
    return unit;
}

// JSON text may escape a lone UTF-16 surrogate ("\ud800"), which has no
// UTF-8 form, and some encoders write such escapes for broken strings. The
// library refuses the whole line for it; the agent reads each lone surrogate
// escape as U+FFFD instead, so the request is still answered. The
// replacement has the escape's length, so offsets into the line stay valid.
// Returns false when the line has no lone surrogate escape.
bool replaceLoneSurrogates(std::string_view s, std::string& out) {
    if (s.find("\\u") == std::string_view::npos) return false;
    bool changed = false;
    for (std::size_t i = 0; i < s.size();) {
        if (s[i] != '\\') {
            ++i;
            continue;
        }
        long unit = escapedUnit(s, i);
        if (unit < 0) {
            i += 2;  // another escape: its second character is never a backslash that counts
            continue;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            long next = escapedUnit(s, i + 6);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                i += 12;
                continue;
            }
        } else if (unit < 0xDC00 || unit > 0xDFFF) {
            i += 6;
            continue;
        }
        if (!changed) out.assign(s);
        changed = true;
        out.replace(i, 6, "\\ufffd");
        i += 6;
    }
    return changed;
}

}  // namespace

std::optional<Request> parseRequest(std::string_view line) {
    auto request = parseLine(line);
    if (!request || !request->object.is_object()) return std::nullopt;
    return request;
}

std::optional<Request> parseLine(std::string_view line) {
    if (line.size() > kMaxLineBytes) return std::nullopt;
    Scan s = scan(line);
    if (!s.acceptable) return std::nullopt;
    Request r;
    r.id = s.id.empty() ? std::string("null") : compact(s.id);
    std::string repaired;
    bool changed = replaceLoneSurrogates(line, repaired);
    if (s.huge.empty()) {
        auto object = nlohmann::json::parse(changed ? std::string_view(repaired) : line, nullptr,
                                            /*allow_exceptions=*/false);
        if (object.is_discarded()) return std::nullopt;
        r.object = std::move(object);
        return r;
    }

    // The library refuses numbers beyond the range of a double (1e400) and
    // with them the whole line. Each is read as an infinity of its sign
    // instead: it stands in the text as a 0 padded with blanks to its length
    // (so the tokens and offsets stay as they were), and the parser's callback
    // puts the infinity in its place, counting number values in text order.
    if (!changed) repaired.assign(line);
    for (const HugeNumber& n : s.huge) {
        repaired[n.at] = '0';
        std::fill_n(repaired.begin() + n.at + 1, numberRun(line, n.at) - 1, ' ');
    }
    auto next = s.huge.begin();
    std::size_t numbers = 0;
    bool matched = true;
    nlohmann::json::parser_callback_t infinities = [&](int, nlohmann::json::parse_event_t event,
                                                       nlohmann::json& value) {
        if (event != nlohmann::json::parse_event_t::value || !value.is_number()) return true;
        if (next != s.huge.end() && next->ordinal == numbers) {
            matched = matched && value.is_number_unsigned() && value == 0;
            constexpr double kInfinity = std::numeric_limits<double>::infinity();
            value = line[next->at] == '-' ? -kInfinity : kInfinity;
            ++next;
        }
        ++numbers;
        return true;
    };
    auto object = nlohmann::json::parse(repaired, infinities, /*allow_exceptions=*/false);
    if (object.is_discarded() || !matched || next != s.huge.end()) return std::nullopt;
    // The id is only echoed as text: one holding such a number keeps no value.
    if (!s.id.empty() && object.is_object()) {
        std::size_t idAt = static_cast<std::size_t>(s.id.data() - line.data());
        for (const HugeNumber& n : s.huge)
            if (n.at >= idAt && n.at < idAt + s.id.size()) object["id"] = nullptr;
    }
    r.object = std::move(object);
    return r;
}

std::string dump(const nlohmann::json& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace channel
