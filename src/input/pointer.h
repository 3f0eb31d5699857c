// Event delivery, pauses and pointer actions.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/platform.h"

namespace input {

// The one event source every synthetic event is made from. Written once at
// start-up, before the reader thread exists; only read afterwards.
extern platform::EventSource source;

// Posts to the process when a pid is given, else system-wide at the HID tap.
// An empty event is ignored.
void post(const platform::Event& event, std::optional<std::int32_t> pid);
void pause(std::uint32_t milliseconds);
void click(platform::Point at, bool right, std::int64_t count);
void drag(platform::Point from, platform::Point to);
void scroll(platform::Point at, std::int32_t dx, std::int32_t dy, std::optional<std::int32_t> pid);

}  // namespace input
