#include "platform/x11/atspi/bridge.h"

namespace platform::atspi {

Bridge bridgeFor(std::string_view toolkit) {
    Bridge b;
    if (toolkit == "gtk" || toolkit == "GAIL" || toolkit == "atk") {  // GTK 3's ATK bridge
        b.getAll = true;
    } else if (toolkit == "Gecko") {
        b.getAll = b.actionsByIndex = b.lazyPages = true;
    } else if (toolkit == "Chromium") {
        b.getAll = b.actionsByIndex = true;
    } else if (toolkit == "GTK") {  // GTK 4
        b.getAll = b.childrenByIndex = b.framesInWindow = true;
        b.cache = false;
        b.wholeTextEnd = INT32_MAX;
    }
    return b;
}

}  // namespace platform::atspi
