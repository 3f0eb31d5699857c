// expect apple: is only available on macOS 26.0 or newer
// clean syntax
// An interface newer than the oldest supported system, called unguarded.
#include <CoreFoundation/CoreFoundation.h>

extern "C" Boolean AgentSeedNewInterface(void) AGENT_AVAILABLE_MACOS(26.0);

bool ask() { return AgentSeedNewInterface() != 0; }
