#include "scripted_desktop.h"

#include "fake.h"

namespace fuzzdesk {

Ids script(bool secureFocus) {
    fake::reset();
    auto& d = fake::desktop();
    d.apps.running = {
        {kPid, "Editor", "org.example.Editor", true, false, 0},
        {77, "Agent helper", std::nullopt, false, true, 1},
        {-1, std::nullopt, "org.example.Odd", false, false, 0},
    };
    d.apps.frontmost = kPid;
    d.apps.screenAccess = true;
    d.apps.trusted = true;
    d.apps.display = {{0, 0}, {1920, 1080}};
    // A small capturable screen (at two pixels per point) over part of the Editor window.
    d.capture.fill({90, 70}, 24, 16, 2);
    platform::Array windows;
    windows.push_back(fake::windowEntry(5120, kPid, "Editor", "notes.txt", 0, {{100, 80}, {800, 600}}));
    windows.push_back(fake::windowEntry(5121, 77, "Agent helper", "", 25, {{0, 0}, {1920, 24}}));
    platform::Value odd = fake::windowEntry(5122, kPid, "Editor", "odd", 0, {{1e308, -1e308}, {1e308, 1e308}});
    windows.push_back(std::move(odd));
    d.apps.windowInfo = std::move(windows);

    auto& ax = d.ax;
    ax.quiet = true;  // the log would only grow; the checks read the script instead
    Ids ids;
    ids.app = ax.app(kPid);
    ids.window = ax.window(ids.app);
    ax.set(ids.window, "AXTitle", "notes.txt");
    ax.set(ids.window, "AXPosition", platform::Point{100, 80});
    ax.set(ids.window, "AXSize", platform::Size{800, 600});
    ids.button = ax.child(ids.window, "AXButton");
    ax.set(ids.button, "AXTitle", "Save").actions(ids.button, {"AXPress", "AXShowMenu"});
    ids.field = ax.child(ids.window, "AXTextField");
    ax.set(ids.field, "AXValue", "hello");
    ids.secure = ax.child(ids.window, "AXTextField");
    ax.set(ids.secure, "AXSubrole", "AXSecureTextField").set(ids.secure, "AXValue", kSecret);
    ids.group = ax.child(ids.window, "AXGroup");
    int inner = ax.child(ids.group, "AXGroup");
    int text = ax.child(inner, "AXStaticText");
    ax.set(text, "AXValue", 3.5);
    int gone = ax.child(inner, "AXButton");
    ax.node(gone).gone = true;
    ax.hit(ids.app, text);
    ax.focus(secureFocus ? ids.secure : ids.field);
    return ids;
}

}  // namespace fuzzdesk
