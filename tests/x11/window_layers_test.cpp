// Layers of X windows in the window list.
#include <gtest/gtest.h>

#include "platform/x11/xserver/window_layers.h"

namespace {

using platform::x11::WindowType;
using platform::x11::windowLayer;

TEST(WindowLayers, ApplicationWindowsOfEveryKindAreLayerZero) {
    // The "windows" operation lists layer 0 only: dialogs, utilities and the
    // like must stay in it.
    for (WindowType t : {WindowType::normal, WindowType::dialog, WindowType::utility, WindowType::toolbar,
                         WindowType::splash})
        EXPECT_EQ(windowLayer(t, false, false), 0) << static_cast<int>(t);
}

TEST(WindowLayers, KeepAboveFloatsButNeverLowersOrLiftsTheDesktop) {
    EXPECT_EQ(windowLayer(WindowType::normal, true, false), 3);
    EXPECT_EQ(windowLayer(WindowType::dialog, true, false), 3);
    EXPECT_EQ(windowLayer(WindowType::dock, false, false), 20);
    EXPECT_EQ(windowLayer(WindowType::dock, true, false), 20);
    EXPECT_LT(windowLayer(WindowType::desktop, false, false), 0);
    EXPECT_LT(windowLayer(WindowType::desktop, true, false), 0);
}

TEST(WindowLayers, OverrideRedirectPopupsAreInFrontOfEveryManagedWindow) {
    std::int64_t highestManaged = std::max({windowLayer(WindowType::dock, true, false),
                                            windowLayer(WindowType::notification, true, false),
                                            windowLayer(WindowType::menu, true, false)});
    for (WindowType t : {WindowType::normal, WindowType::popupMenu, WindowType::dropdownMenu, WindowType::combo,
                         WindowType::tooltip, WindowType::dnd, WindowType::utility})
        EXPECT_GT(windowLayer(t, false, true), highestManaged) << static_cast<int>(t);
    // A tooltip shows over the menu it explains; a dragged icon over both.
    EXPECT_EQ(windowLayer(WindowType::popupMenu, false, true), 101);
    EXPECT_EQ(windowLayer(WindowType::normal, false, true), 101);
    EXPECT_GT(windowLayer(WindowType::tooltip, false, true), windowLayer(WindowType::popupMenu, false, true));
    EXPECT_GT(windowLayer(WindowType::dnd, false, true), windowLayer(WindowType::tooltip, false, true));
}

}  // namespace
