// expect apple: 'NSApplicationActivateIgnoringOtherApps' is deprecated
// clean syntax
#include <AppKit/AppKit.h>

bool bringForward(NSRunningApplication* app) {
    return [app activateWithOptions:NSApplicationActivateIgnoringOtherApps];
}
