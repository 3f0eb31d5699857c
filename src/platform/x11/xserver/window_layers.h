// The window-list layer of an X window: the level a window of that kind has
// on macOS, whose numbers the portable code reads ("windows" keeps layer 0,
// "at" takes the front window of any layer).
#pragma once

#include <cstdint>

namespace platform::x11 {

// _NET_WM_WINDOW_TYPE, reduced to what decides a layer. A window without the
// property is normal (override-redirect ones then count as popup menus).
enum class WindowType {
    normal,
    desktop,
    dock,
    toolbar,
    menu,  // a torn-off menu
    utility,
    splash,
    dialog,
    dropdownMenu,
    popupMenu,
    tooltip,
    notification,
    combo,
    dnd,
};

// The macOS levels used.
inline constexpr std::int64_t kDesktopLayer = -2147483623;  // kCGDesktopWindowLevel
inline constexpr std::int64_t kNormalLayer = 0;
inline constexpr std::int64_t kFloatingLayer = 3;    // kCGFloatingWindowLevel, also torn-off menus
inline constexpr std::int64_t kDockLayer = 20;       // kCGDockWindowLevel
inline constexpr std::int64_t kStatusLayer = 25;     // kCGStatusWindowLevel
inline constexpr std::int64_t kPopUpMenuLayer = 101; // kCGPopUpMenuWindowLevel
inline constexpr std::int64_t kHelpLayer = 200;      // kCGHelpWindowLevel (tooltips)
inline constexpr std::int64_t kDraggingLayer = 500;  // kCGDraggingWindowLevel

// Managed windows: the desktop below everything, docks and panels at the
// dock level, notifications at the status level, torn-off menus and
// keep-above (_NET_WM_STATE_ABOVE) windows floating, everything else
// (dialogs, utilities, toolbars, splashes) normal. Override-redirect windows
// are popups drawn over every managed window: tooltips at the help level,
// drag icons at the dragging level, notifications at the status level, any
// other at the popup-menu level.
std::int64_t windowLayer(WindowType type, bool keepAbove, bool overrideRedirect);

}  // namespace platform::x11
