// Fake applications, window server, display, permissions and launcher. Every
// call is logged; application handles name an entry of AppsState::running.
#include <algorithm>

#include "fake.h"

namespace fake {
namespace {

AppsState& state() { return desktop().apps; }

platform::App handleFor(std::int32_t pid) {
    auto& running = state().running;
    auto it = std::find_if(running.begin(), running.end(), [&](const FakeApp& a) { return a.pid == pid; });
    if (it == running.end()) return {};
    return platform::App(newRef(platform::HandleKind::app, static_cast<int>(it - running.begin())));
}

const FakeApp& appOf(const platform::App& app) { return state().running.at(idOf(app.get())); }

std::string pidText(const platform::App& app) { return std::to_string(appOf(app).pid); }

}  // namespace

platform::Value boundsEntry(double x, double y, double w, double h) {
    return platform::Dictionary{{"X", x}, {"Y", y}, {"Width", w}, {"Height", h}};
}

platform::Value windowEntry(std::int64_t number, std::int32_t pid, const std::string& owner, const std::string& name,
                            std::int64_t layer, platform::Rect b, double alpha) {
    return platform::Dictionary{
        {std::string(platform::kCGWindowLayer), layer},
        {std::string(platform::kCGWindowAlpha), alpha},
        {std::string(platform::kCGWindowNumber), number},
        {std::string(platform::kCGWindowOwnerPID), static_cast<std::int64_t>(pid)},
        {std::string(platform::kCGWindowBounds), boundsEntry(b.origin.x, b.origin.y, b.size.width, b.size.height)},
        {std::string(platform::kCGWindowOwnerName), owner},
        {std::string(platform::kCGWindowName), name},
    };
}

void setEntry(platform::Value& window, std::string_view key, platform::Value value) {
    auto* dict = std::get_if<platform::Dictionary>(&window.v);
    if (!dict) return;
    auto it = std::find_if(dict->begin(), dict->end(), [&](const auto& kv) { return kv.first == key; });
    if (it != dict->end()) dict->erase(it);
    if (!value.isNone()) dict->emplace_back(std::string(key), std::move(value));
}

}  // namespace fake

namespace platform {

Value cgWindowListCopyWindowInfo(std::uint32_t option, std::uint32_t relativeToWindow) {
    fake::record("window-list " + std::to_string(option) + " " + std::to_string(relativeToWindow));
    return fake::state().windowInfo;
}

std::uint32_t cgMainDisplayID() {
    fake::record("main-display");
    return fake::state().displayId;
}

Rect cgDisplayBounds(std::uint32_t display) {
    fake::record("display-bounds " + std::to_string(display));
    return display == fake::state().displayId ? fake::state().display : Rect{};
}

bool cgPreflightScreenCaptureAccess() {
    fake::record("screen-preflight");
    return fake::state().screenAccess;
}

bool cgRequestScreenCaptureAccess() {
    fake::record("screen-request");
    return fake::state().screenAccess;
}

bool axIsProcessTrusted() {
    fake::record("ax-trusted");
    return fake::state().trusted;
}

bool axIsProcessTrustedWithPrompt() {
    fake::record("ax-trusted-prompt");
    return fake::state().trusted;
}

std::vector<App> runningApplications() {
    fake::record("running-applications");
    std::vector<App> out;
    for (std::size_t i = 0; i < fake::state().running.size(); ++i)
        out.emplace_back(fake::newRef(HandleKind::app, static_cast<int>(i)));
    return out;
}

App frontmostApplication() {
    fake::record("frontmost-application");
    if (!fake::state().frontmost) return {};
    return fake::handleFor(*fake::state().frontmost);
}

App runningApplicationWithProcessIdentifier(std::int32_t pid) {
    fake::record("app-for-pid " + std::to_string(pid));
    return fake::handleFor(pid);
}

std::optional<std::string> localizedName(const App& app) {
    fake::record("name " + fake::pidText(app));
    return fake::appOf(app).name;
}

std::optional<std::string> bundleIdentifier(const App& app) {
    fake::record("bundle-id " + fake::pidText(app));
    return fake::appOf(app).bundleId;
}

std::int32_t processIdentifier(const App& app) {
    fake::record("pid " + fake::pidText(app));
    return fake::appOf(app).pid;
}

bool isActive(const App& app) {
    fake::record("active " + fake::pidText(app));
    return fake::appOf(app).active;
}

bool isHidden(const App& app) {
    fake::record("hidden " + fake::pidText(app));
    return fake::appOf(app).hidden;
}

std::int64_t activationPolicy(const App& app) {
    fake::record("policy " + fake::pidText(app));
    return fake::appOf(app).policy;
}

bool activateWithOptions(const App& app, std::uint64_t options) {
    fake::record("activate " + fake::pidText(app) + " options " + std::to_string(options));
    return true;
}

bool isOperatingSystemAtLeast(std::int64_t major, std::int64_t minor, std::int64_t patch) {
    fake::record("os-at-least " + std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch));
    const auto& v = fake::state().os;
    if (v.major != major) return v.major > major;
    if (v.minor != minor) return v.minor > minor;
    return v.patch >= patch;
}

TaskOutcome runTask(const std::string& executable, const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{executable};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::string line = "run";
    for (const auto& a : argv) line += " \"" + a + "\"";
    fake::record(line);
    fake::state().tasks.push_back(std::move(argv));
    return fake::state().launcher;
}

}  // namespace platform
