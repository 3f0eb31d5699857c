// expect analyze: Potential leak
// clean syntax
// An application object handed to CF and never given back.
#include <AppKit/AppKit.h>

pid_t frontPid() {
    CFTypeRef app = CFBridgingRetain(NSWorkspace.sharedWorkspace.frontmostApplication);
    if (!app) return -1;
    return ((__bridge NSRunningApplication*)app).processIdentifier;
}
