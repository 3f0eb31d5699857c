#include "platform/x11/xserver/window_layers.h"

#include <algorithm>

namespace platform::x11 {

std::int64_t windowLayer(WindowType type, bool keepAbove, bool overrideRedirect) {
    if (overrideRedirect) {
        switch (type) {
        case WindowType::tooltip: return kHelpLayer;
        case WindowType::dnd: return kDraggingLayer;
        case WindowType::notification: return kStatusLayer;
        default: return kPopUpMenuLayer;
        }
    }
    std::int64_t layer = kNormalLayer;
    switch (type) {
    case WindowType::desktop: return kDesktopLayer;  // keep-above does not lift the desktop
    case WindowType::dock: layer = kDockLayer; break;
    case WindowType::notification: layer = kStatusLayer; break;
    case WindowType::menu: layer = kFloatingLayer; break;
    // Menus, tooltips and the like normally come override-redirect; a window
    // manager that manages one anyway still shows it over the rest.
    case WindowType::dropdownMenu:
    case WindowType::popupMenu:
    case WindowType::combo: layer = kPopUpMenuLayer; break;
    case WindowType::tooltip: layer = kHelpLayer; break;
    case WindowType::dnd: layer = kDraggingLayer; break;
    default: break;
    }
    return keepAbove ? std::max(layer, kFloatingLayer) : layer;
}

}  // namespace platform::x11
