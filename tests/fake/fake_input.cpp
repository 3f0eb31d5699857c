// Fake synthetic input: events are made as records, every field the agent
// sets is kept, and posting logs the event as it stands.
#include <charconv>
#include <cstdio>

#include "fake.h"

namespace fake {
namespace {

std::string number(double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string point(platform::Point p) { return "(" + number(p.x) + "," + number(p.y) + ")"; }

// UTF-16 as UTF-8 for reading; a lone surrogate shows as \uXXXX.
std::string text(const std::u16string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
            out += buf;
            continue;
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

// A new event record, or an empty handle when this attempt is scripted to fail.
platform::Event make(FakeEvent e, const platform::EventSource& source) {
    auto& in = desktop().input;
    std::size_t attempt = in.attempts++;
    e.fromSource = static_cast<bool>(source);
    if (in.failCreation.count(attempt)) {
        record("create-failed " + describeEvent(e));
        return {};
    }
    in.made.push_back(std::move(e));
    return platform::Event(newRef(platform::HandleKind::event, static_cast<int>(in.made.size() - 1)));
}

FakeEvent& of(const platform::Event& event) { return desktop().input.made.at(idOf(event.get())); }

void posted(const platform::Event& event, std::optional<std::uint32_t> tap, std::optional<std::int32_t> pid) {
    const FakeEvent& e = of(event);
    desktop().input.posted.push_back({e, tap, pid});
    record("post " + (pid ? "pid " + std::to_string(*pid) : "tap " + std::to_string(*tap)) + " " + describeEvent(e));
}

}  // namespace

std::string describeEvent(const FakeEvent& e) {
    std::string s;
    switch (e.kind) {
    case EventKind::mouse:
        s = "mouse " + std::to_string(e.type) + " " + (e.location ? point(*e.location) : "?") + " button " +
            std::to_string(e.button);
        break;
    case EventKind::keyboard:
        s = "key " + std::to_string(e.keyCode) + (e.keyDown ? " down" : " up");
        break;
    case EventKind::scroll:
        s = "scroll units " + std::to_string(e.units) + " wheels " + std::to_string(e.wheelCount) + " " +
            std::to_string(e.wheel1) + " " + std::to_string(e.wheel2) + " " + std::to_string(e.wheel3);
        if (e.location) s += " at " + point(*e.location);
        break;
    }
    for (auto [field, value] : e.fields)
        s += field == platform::kCGMouseEventClickState ? " click " + std::to_string(value)
                                                        : " field " + std::to_string(field) + "=" + std::to_string(value);
    if (e.flags) {
        char buf[32];
        std::snprintf(buf, sizeof buf, " flags 0x%llx", static_cast<unsigned long long>(*e.flags));
        s += buf;
    }
    if (e.unicode) s += " text \"" + text(*e.unicode) + "\"";
    return s;
}

std::vector<std::string> postedLines() {
    std::vector<std::string> out;
    for (const auto& p : desktop().input.posted)
        out.push_back((p.pid ? "pid " + std::to_string(*p.pid) : "tap " + std::to_string(*p.tap)) + " " +
                      describeEvent(p.event));
    return out;
}

}  // namespace fake

namespace platform {

EventSource cgEventSourceCreate(std::int32_t stateID) {
    fake::record("event-source " + std::to_string(stateID));
    return EventSource(fake::newRef(HandleKind::source, stateID));
}

Event cgEventCreateMouseEvent(const EventSource& source, std::uint32_t type, Point position, std::uint32_t button) {
    fake::FakeEvent e;
    e.kind = fake::EventKind::mouse;
    e.type = type;
    e.location = position;
    e.button = button;
    return fake::make(std::move(e), source);
}

Event cgEventCreateKeyboardEvent(const EventSource& source, std::uint16_t keyCode, bool keyDown) {
    fake::FakeEvent e;
    e.kind = fake::EventKind::keyboard;
    e.type = keyDown ? kCGEventKeyDown : kCGEventKeyUp;
    e.keyCode = keyCode;
    e.keyDown = keyDown;
    return fake::make(std::move(e), source);
}

Event cgEventCreateScrollWheelEvent2(const EventSource& source, std::uint32_t units, std::uint32_t wheelCount,
                                     std::int32_t wheel1, std::int32_t wheel2, std::int32_t wheel3) {
    fake::FakeEvent e;
    e.kind = fake::EventKind::scroll;
    e.type = kCGEventScrollWheel;
    e.units = units;
    e.wheelCount = wheelCount;
    e.wheel1 = wheel1;
    e.wheel2 = wheel2;
    e.wheel3 = wheel3;
    return fake::make(std::move(e), source);
}

void cgEventKeyboardSetUnicodeString(const Event& event, std::u16string_view text) {
    fake::of(event).unicode = std::u16string(text);
}
void cgEventSetFlags(const Event& event, std::uint64_t flags) { fake::of(event).flags = flags; }
void cgEventSetIntegerValueField(const Event& event, std::uint32_t field, std::int64_t value) {
    fake::of(event).fields[field] = value;
}
void cgEventSetLocation(const Event& event, Point location) { fake::of(event).location = location; }
void cgEventPost(std::uint32_t tap, const Event& event) { fake::posted(event, tap, std::nullopt); }
void cgEventPostToPid(std::int32_t pid, const Event& event) { fake::posted(event, std::nullopt, pid); }

}  // namespace platform
