#include "channel/json_line.h"

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

// What one pass over the raw text tells before the library parses it: the
// nesting stays within bounds, there is no NUL byte, and where the top-level
// object's "id" value lies (the last one, as duplicate keys keep the last).
struct Scan {
    bool acceptable = false;
    std::string_view id;  // raw text of the "id" value; empty when absent
};

Scan scan(std::string_view s) {
    Scan out;
    int depth = 0;
    bool keyIsId = false;      // at depth 1: the key just read is "id"
    bool expectKey = false;    // at depth 1: the next string is a key
    std::size_t valueStart = std::string_view::npos;
    for (std::size_t i = 0; i < s.size();) {
        char c = s[i];
        if (c == '\0') return out;
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

// The text without the blanks around it.
std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
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
    if (line.size() > kMaxLineBytes) return std::nullopt;
    Scan s = scan(line);
    if (!s.acceptable) return std::nullopt;
    Request r;
    r.id = s.id.empty() ? std::string("null") : compact(s.id);
    const char* original = line.data();
    std::string repaired;
    if (replaceLoneSurrogates(line, repaired)) line = repaired;
    auto object = nlohmann::json::parse(line, nullptr, /*allow_exceptions=*/false);
    if (object.is_discarded() && isNumberToken(trim(s.id))) {
        // The library refuses numbers beyond the range of a double (1e400). The
        // id is only echoed as text, so such an id does not make the line bad.
        // The raw value must be one token: blanks inside it ("9 8") are a
        // syntax error that compacting the id text would hide.
        std::size_t at = static_cast<std::size_t>(s.id.data() - original);
        std::string copy;
        copy.reserve(line.size());
        copy.append(line.substr(0, at)).append("0").append(line.substr(at + s.id.size()));
        object = nlohmann::json::parse(copy, nullptr, false);
        if (object.is_object()) object["id"] = nullptr;
    }
    if (!object.is_object()) return std::nullopt;
    r.object = std::move(object);
    return r;
}

std::string dump(const nlohmann::json& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace channel
