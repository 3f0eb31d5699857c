#include "ax/text.h"

#include <utf8proc.h>

#include <cstdlib>

namespace ax {

std::string prefix(std::string_view text, std::size_t limit) {
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
    std::size_t at = 0;
    std::size_t clusters = 0;
    utf8proc_int32_t state = 0;
    utf8proc_int32_t previous = -1;
    while (at < text.size()) {
        utf8proc_int32_t cp = -1;
        auto length = utf8proc_iterate(bytes + at, static_cast<utf8proc_ssize_t>(text.size() - at), &cp);
        bool valid = length > 0;
        if (!valid) {
            length = 1;
            cp = -1;
        }
        // A stray byte stands alone: it breaks from what precedes and follows it.
        bool starts = previous < 0 || cp < 0 || utf8proc_grapheme_break_stateful(previous, cp, &state);
        if (cp < 0) state = 0;
        if (starts) {
            if (clusters == limit) return std::string(text.substr(0, at));
            ++clusters;
        }
        previous = cp;
        at += static_cast<std::size_t>(length);
    }
    return std::string(text);
}

std::string folded(std::string_view text) {
    utf8proc_uint8_t* out = nullptr;
    auto length = utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                               static_cast<utf8proc_ssize_t>(text.size()), &out,
                               static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE | UTF8PROC_CASEFOLD));
    if (length >= 0 && out) {
        std::string result(reinterpret_cast<const char*>(out), static_cast<std::size_t>(length));
        std::free(out);
        return result;
    }
    std::free(out);
    std::string result(text);
    for (char& c : result)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return result;
}

}  // namespace ax
