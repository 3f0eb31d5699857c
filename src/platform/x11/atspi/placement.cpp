// Where an element's frame lies on the screen. GTK 4 cannot know where its
// windows are (a Wayland client never does), so it gives every frame within
// its window, and within the shadow it draws around it: the window's origin
// on the screen is found through X, by the window's title among the
// application's windows, plus the shadow's width (_GTK_FRAME_EXTENTS).
#include <X11/Xatom.h>

#include "platform/x11/atspi/model.h"
#include "platform/x11/xserver/ewmh.h"
#include "platform/x11/xserver/x_display.h"

namespace platform::atspi {

std::optional<std::array<std::int32_t, 2>> Model::origin(const Ref& ref) {
    using Origin = std::optional<std::array<std::int32_t, 2>>;
    if (!bridgeOf(ref.bus).framesInWindow) return std::array<std::int32_t, 2>{0, 0};
    // The element's window: its ancestor at level 1.
    Node* top = basic(ref);
    for (int steps = 0; top && levelOf(*top) > 1 && steps < 4096; ++steps) {
        auto up = parent(top->ref);
        top = up ? basic(*up) : nullptr;
    }
    if (!top || top->level != 1) return std::nullopt;
    auto [known, fresh] = origins_.try_emplace(top->ref.key());
    if (!fresh) return known->second;
    Display* d = x11::display();
    auto pid = pidOfBus(ref.bus);
    if (!d || !pid) return std::nullopt;
    Origin found;
    int matches = 0;
    for (auto& w : x11::managedWindows(*pid)) {
        if (x11::propertyText(w.id, x11::atom("_NET_WM_NAME")) != top->name) continue;
        // Two windows of one title cannot be told apart.
        if (++matches > 1) return known->second = std::nullopt;
        auto shadow = x11::property32(w.id, x11::atom("_GTK_FRAME_EXTENTS"), XA_CARDINAL);
        Window child = None;
        int x = 0, y = 0;
        if (!XTranslateCoordinates(d, w.id, DefaultRootWindow(d), 0, 0, &x, &y, &child)) continue;
        found = std::array<std::int32_t, 2>{x + static_cast<std::int32_t>(shadow.size() == 4 ? shadow[0] : 0),
                                            y + static_cast<std::int32_t>(shadow.size() == 4 ? shadow[2] : 0)};
    }
    return known->second = found;
}

}  // namespace platform::atspi
