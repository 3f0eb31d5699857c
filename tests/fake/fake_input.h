// The fake desktop's synthetic input: events made and posted.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace fake {

enum class EventKind { mouse, keyboard, scroll };

// One event with every field the agent can give it.
struct FakeEvent {
    EventKind kind = EventKind::mouse;
    bool fromSource = false;              // made from a (non-null) event source
    std::uint32_t type = 0;               // mouse: the event type; keyboard: 10 down / 11 up; scroll: 22
    std::optional<platform::Point> location;  // mouse: at creation; any: after cgEventSetLocation
    std::uint32_t button = 0;
    std::map<std::uint32_t, std::int64_t> fields;  // cgEventSetIntegerValueField
    std::optional<std::uint64_t> flags;            // none: cgEventSetFlags never called
    std::uint16_t keyCode = 0;
    bool keyDown = false;
    std::optional<std::u16string> unicode;         // none: no Unicode string attached
    std::uint32_t units = 0, wheelCount = 0;
    std::int32_t wheel1 = 0, wheel2 = 0, wheel3 = 0;
};

struct Posted {
    FakeEvent event;                  // as it was when posted
    std::optional<std::uint32_t> tap;  // cgEventPost
    std::optional<std::int32_t> pid;   // cgEventPostToPid
};

struct InputState {
    std::vector<FakeEvent> made;        // every event created, by creation order
    std::vector<Posted> posted;         // every event posted, in order
    std::set<std::size_t> failCreation;  // creation attempts (0-based) that return no event
    std::size_t attempts = 0;
};

// "mouse 1 (10,20) button 0 click 1", "key 0 down text \"abc\"", "scroll line 2 -3 0 0 at (1,2)".
std::string describeEvent(const FakeEvent& event);
// The posted events as "hid <event>" / "pid 412 <event>", in order.
std::vector<std::string> postedLines();

}  // namespace fake
