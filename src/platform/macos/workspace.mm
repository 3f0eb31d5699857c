// macOS backend: the shared workspace and its running applications.

// The seam comes before any Apple header: CoreGraphics defines
// kCGNullWindowID as a macro, which would rewrite the seam's constant.
#include "platform/platform.h"
#include "platform/macos/cf.h"

#include <AppKit/AppKit.h>

namespace platform {
namespace {

// An application handle owns its object through CF (CFBridgingRetain); this
// borrows it back as an Objective-C reference without touching the count.
NSRunningApplication* appObject(const App& app) { return (__bridge NSRunningApplication*)app.get(); }

App adopt(NSRunningApplication* _Nullable app) {
    if (!app) return App();
    return App(mac::handleRef(CFBridgingRetain(app)));
}

std::optional<std::string> text(NSString* _Nullable string) {
    if (!string) return std::nullopt;
    return mac::toString((__bridge CFStringRef)string);
}

}  // namespace

std::vector<App> runningApplications() {
    NSArray<NSRunningApplication*>* running = NSWorkspace.sharedWorkspace.runningApplications;
    std::vector<App> apps;
    NSUInteger count = running.count;
    apps.reserve(count);
    for (NSUInteger i = 0; i < count; ++i) apps.push_back(adopt([running objectAtIndex:i]));
    return apps;
}

App frontmostApplication() { return adopt(NSWorkspace.sharedWorkspace.frontmostApplication); }

App runningApplicationWithProcessIdentifier(std::int32_t pid) {
    return adopt([NSRunningApplication runningApplicationWithProcessIdentifier:static_cast<pid_t>(pid)]);
}

std::optional<std::string> localizedName(const App& app) {
    if (!app) return std::nullopt;
    return text(appObject(app).localizedName);
}

std::optional<std::string> bundleIdentifier(const App& app) {
    if (!app) return std::nullopt;
    return text(appObject(app).bundleIdentifier);
}

std::int32_t processIdentifier(const App& app) { return app ? appObject(app).processIdentifier : -1; }

bool isActive(const App& app) { return app && appObject(app).isActive; }

bool isHidden(const App& app) { return app && appObject(app).isHidden; }

std::int64_t activationPolicy(const App& app) {
    // Without an application there is no policy; anything but 0 means "not regular".
    return app ? static_cast<std::int64_t>(appObject(app).activationPolicy) : -1;
}

bool activateWithOptions(const App& app, std::uint64_t options) {
    if (!app) return false;
    return [appObject(app) activateWithOptions:static_cast<NSApplicationActivationOptions>(options)];
}

}  // namespace platform
