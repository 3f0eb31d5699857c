// The fake desktop's applications, windows, display, permissions and launcher.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace fake {

struct FakeApp {
    std::int32_t pid = 0;
    std::optional<std::string> name;      // localizedName; none is a null name
    std::optional<std::string> bundleId;  // bundleIdentifier; none is a null identifier
    bool active = false;
    bool hidden = false;
    std::int64_t policy = 0;              // activationPolicy: 0 regular, 1 accessory, 2 prohibited
};

struct Version {
    std::int64_t major = 14, minor = 0, patch = 0;
};

struct AppsState {
    std::vector<FakeApp> running;           // runningApplications, in this order
    std::optional<std::int32_t> frontmost;  // pid of frontmostApplication; none is null
    // What cgWindowListCopyWindowInfo answers: normally an Array of
    // Dictionary values, but anything (none, malformed entries) can be scripted.
    platform::Value windowInfo;
    bool screenAccess = false;  // cgPreflightScreenCaptureAccess
    bool trusted = false;       // axIsProcessTrusted
    std::uint32_t displayId = 1;
    platform::Rect display;     // bounds of displayId; other ids answer an empty rectangle
    Version os;                 // isOperatingSystemAtLeast compares against this
    platform::TaskOutcome launcher{true, "", 0};  // what runTask answers
    // Argument vectors runTask was given, the executable first.
    std::vector<std::vector<std::string>> tasks;
};

// A bounds entry as the window server writes it ("X", "Y", "Width", "Height").
platform::Value boundsEntry(double x, double y, double w, double h);
// A well-formed window dictionary; tests change or remove entries to make it malformed.
platform::Value windowEntry(std::int64_t number, std::int32_t pid, const std::string& owner,
                            const std::string& name, std::int64_t layer, platform::Rect bounds,
                            double alpha = 1.0);
// Replaces (or with a none value removes) one entry of a window dictionary.
void setEntry(platform::Value& window, std::string_view key, platform::Value value);

}  // namespace fake
