// Unicode typing: UTF-8 text through input::typeText against the fake. Checks
// that the events are down/up pairs of the same key, text events carry key
// code 0 and 1 to 16 UTF-16 units, each line is cut greedily (every chunk but
// a line's last holds exactly 16 units; a surrogate pair may be split), line
// feeds are Return presses, every event is followed by its pause, and that the
// text arrives whole: the input decoded with U+FFFD for each byte that does
// not start a well-formed sequence, with the CR of each CR LF dropped.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "fake.h"
#include "input/keyboard.h"

namespace {

[[noreturn]] void fail(const char* what, std::string_view detail) {
    std::fprintf(stderr, "invariant broken: %s\n%.*s\n", what, static_cast<int>(detail.size()), detail.data());
    std::abort();
}

bool in(unsigned char c, unsigned lo, unsigned hi) { return c >= lo && c <= hi; }

// Length of the well-formed UTF-8 sequence at the front of `s` (the table of
// well-formed byte sequences in the Unicode standard), 0 when there is none.
std::size_t sequenceAt(std::string_view s) {
    auto b = [&](std::size_t i) { return i < s.size() ? static_cast<unsigned char>(s[i]) : 0x100u; };
    unsigned c = b(0);
    auto cont = [&](std::size_t i) { return b(i) <= 0xFF && in(static_cast<unsigned char>(b(i)), 0x80, 0xBF); };
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) return cont(1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        unsigned lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
        return b(1) >= lo && b(1) <= hi && cont(2) ? 3 : 0;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        unsigned lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
        return b(1) >= lo && b(1) <= hi && cont(2) && cont(3) ? 4 : 0;
    }
    return 0;
}

std::u16string expectedUnits(std::string_view text) {
    std::u16string units;
    while (!text.empty()) {
        std::size_t n = sequenceAt(text);
        char32_t cp = 0xFFFD;
        if (n == 1) {
            cp = static_cast<unsigned char>(text[0]);
        } else if (n > 1) {
            cp = static_cast<unsigned char>(text[0]) & (0xFF >> (n + 1));
            for (std::size_t i = 1; i < n; ++i) cp = (cp << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
        }
        text.remove_prefix(n ? n : 1);
        if (cp >= 0x10000) {
            units.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(cp));
        }
    }
    // A CR directly before an LF is part of the line break.
    std::u16string out;
    for (std::size_t i = 0; i < units.size(); ++i)
        if (!(units[i] == u'\r' && i + 1 < units.size() && units[i + 1] == u'\n')) out.push_back(units[i]);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::optional<std::int32_t> pid;
    if (size % 2 == 0) pid = 412;
    fake::reset();
    const long refsBefore = fake::outstandingRefs();
    input::typeText(text, pid);

    const auto& posted = fake::desktop().input.posted;
    if (posted.size() % 2 != 0) fail("an odd number of key events", text);
    std::u16string typed;
    bool lineHasShortChunk = false;  // a chunk under 16 units ends its line
    for (std::size_t i = 0; i < posted.size(); i += 2) {
        const auto& down = posted[i];
        const auto& up = posted[i + 1];
        if (down.pid != pid || up.pid != pid || (!pid && (down.tap != 0u || up.tap != 0u)))
            fail("an event went to the wrong target", text);
        if (!down.event.keyDown || up.event.keyDown || down.event.keyCode != up.event.keyCode ||
            down.event.unicode != up.event.unicode)
            fail("events are not down/up pairs of one key", text);
        if (down.event.keyCode == 36 && !down.event.unicode) {
            if (down.event.flags != 0u || up.event.flags != 0u) fail("Return carries modifier flags", text);
            typed.push_back(u'\n');
            lineHasShortChunk = false;
        } else if (down.event.keyCode == 0 && down.event.unicode) {
            std::size_t n = down.event.unicode->size();
            if (n == 0 || n > 16) fail("a text event outside 1..16 units", text);
            if (lineHasShortChunk) fail("a chunk follows a short chunk on the same line", text);
            if (n < 16) lineHasShortChunk = true;
            if (down.event.unicode->find(u'\n') != std::u16string::npos) fail("a line feed typed as text", text);
            typed += *down.event.unicode;
        } else {
            fail("an event that is neither text nor Return", text);
        }
    }
    if (typed != expectedUnits(text)) fail("the typed text differs from the input", text);

    // Every post is followed by its pause: 6 ms after text, 8 ms after Return.
    const auto& log = fake::desktop().log;
    std::size_t posts = 0;
    for (std::size_t i = 0; i < log.size(); ++i) {
        if (log[i].rfind("post ", 0) != 0) continue;
        ++posts;
        bool isText = log[i].find(" text \"") != std::string::npos;
        if (i + 1 >= log.size() || log[i + 1] != (isText ? "pause 6000" : "pause 8000"))
            fail("an event without its pause", text);
    }
    if (posts != posted.size()) fail("the log and the posted events disagree", text);
    if (fake::outstandingRefs() != refsBefore) fail("platform references leaked", text);
    return 0;
}
