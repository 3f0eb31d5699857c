#include "input/keyboard.h"

#include <utf8proc.h>

#include <string_view>

#include "input/pointer.h"

namespace input {
namespace {

using platform::Event;

constexpr std::uint16_t kTextKeyCode = 0;
constexpr std::uint16_t kReturnKeyCode = 36;
constexpr std::size_t kChunkUnits = 16;
constexpr std::uint32_t kTextPauseMs = 6;
constexpr std::uint32_t kKeyPauseMs = 8;

struct Modifier {
    std::string_view name;
    std::uint64_t mask;
};
constexpr Modifier kModifiers[] = {
    {"cmd", platform::kCGEventFlagMaskCommand},   {"shift", platform::kCGEventFlagMaskShift},
    {"alt", platform::kCGEventFlagMaskAlternate}, {"ctrl", platform::kCGEventFlagMaskControl},
    {"fn", platform::kCGEventFlagMaskSecondaryFn},
};

// UTF-8 to UTF-16 code units. A byte that does not start a valid sequence
// becomes U+FFFD, so nothing the caller passes can derail the walk.
std::u16string utf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    auto* p = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
    utf8proc_ssize_t left = static_cast<utf8proc_ssize_t>(text.size());
    while (left > 0) {
        utf8proc_int32_t cp = 0;
        utf8proc_ssize_t used = utf8proc_iterate(p, left, &cp);
        if (used <= 0) {
            cp = 0xFFFD;
            used = 1;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        p += used;
        left -= used;
    }
    return out;
}

// One key-down or key-up carrying exactly `mask` as its flags.
void press(std::uint16_t code, bool down, std::uint64_t mask, std::optional<std::int32_t> pid) {
    if (Event e = platform::cgEventCreateKeyboardEvent(source, code, down)) {
        platform::cgEventSetFlags(e, mask);
        post(e, pid);
    }
    pause(kKeyPauseMs);
}

void typeChunk(std::u16string_view chunk, std::optional<std::int32_t> pid) {
    for (bool down : {true, false}) {
        if (Event e = platform::cgEventCreateKeyboardEvent(source, kTextKeyCode, down)) {
            platform::cgEventKeyboardSetUnicodeString(e, chunk);
            post(e, pid);
        }
        pause(kTextPauseMs);
    }
}

}  // namespace

std::uint64_t flags(const std::vector<std::string>& names) {
    std::uint64_t mask = 0;
    for (const auto& name : names)
        for (const auto& m : kModifiers)
            if (m.name == name) {
                mask |= m.mask;
                break;
            }
    return mask;
}

void key(std::uint16_t code, const std::vector<std::string>& mods, std::optional<std::int32_t> pid) {
    std::uint64_t mask = flags(mods);
    press(code, true, mask, pid);
    press(code, false, mask, pid);
}

void typeText(const std::string& text, std::optional<std::int32_t> pid) {
    std::u16string units = utf16(text);
    std::u16string_view rest = units;
    for (;;) {
        std::size_t lf = rest.find(u'\n');
        std::u16string_view line = rest.substr(0, lf);
        // A CR directly before the LF is part of the line break (text written
        // with CR LF endings), not a character to type.
        if (lf != std::u16string_view::npos && !line.empty() && line.back() == u'\r')
            line.remove_suffix(1);
        while (!line.empty()) {
            std::u16string_view chunk = line.substr(0, kChunkUnits);
            line.remove_prefix(chunk.size());
            typeChunk(chunk, pid);
        }
        if (lf == std::u16string_view::npos) break;
        press(kReturnKeyCode, true, 0, pid);
        press(kReturnKeyCode, false, 0, pid);
        rest.remove_prefix(lf + 1);
    }
}

}  // namespace input
