// The scripted, recording fake desktop that unit tests link in place of a real
// backend. Tests script its state, run operations, then read what the agent
// asked of the platform from the log.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "fake_apps.h"
#include "fake_ax.h"
#include "fake_capture.h"
#include "fake_input.h"
#include "platform/platform.h"

namespace fake {

struct Desktop {
    // Every platform call, in order, one line each ("pause 12000", "read 3 AXRole", ...).
    std::vector<std::string> log;
    bool secureInput = false;  // what isSecureEventInputEnabled answers
    int requestsBegun = 0;     // beginRequest calls
    int requestsOpen = 0;      // begun and not yet ended
    // The fake's clock, in microseconds: it moves only when the agent pauses
    // (by the pause) or when a test moves it.
    std::uint64_t clock = 0;
    // Run after each pause, once the clock moved: lets a test change the
    // desktop while the agent waits.
    std::function<void()> onPause;
    AxState ax;
    AppsState apps;
    InputState input;
    CaptureState capture;
};

Desktop& desktop();
// A fresh, empty desktop. Call at the start of every test.
void reset();
void record(std::string line);

// References handed out and not yet given back, over every handle kind.
long outstandingRefs();
// A new fake platform reference (+1) of a kind, naming object `id` of the
// scripted desktop. The handle that adopts it releases it.
void* newRef(platform::HandleKind kind, int id);
// The scripted object a reference names.
int idOf(const void* ref);

}  // namespace fake
