// What an application's accessibility bridge can be trusted with, told by
// the ToolkitName it gives. Each toolkit's AT-SPI bridge has its own gaps;
// this is the one place that knows them. Internal to the Linux backend.
#pragma once

#include <cstdint>
#include <string_view>

namespace platform::atspi {

struct Bridge {
    // Answers Properties.GetAll (ATK's bridge: GTK 3, Firefox, Chromium; GTK
    // 4's GDBus objects). Qt 5's answer gets it thrown off the bus; bridges
    // not known are asked for each property on its own.
    bool getAll = false;
    // Its cache can be read. GTK 4's holds a few elements, each saying it
    // has no children.
    bool cache = true;
    // Action names by NActions and GetName, as libatspi reads them: Firefox
    // answers GetActions with key bindings (and once in a while with bytes
    // that are not UTF-8, on which its D-Bus library aborts the browser),
    // Chromium with empty names.
    bool actionsByIndex = false;
    // Children by ChildCount and GetChildAtIndex: GTK 4.8's GetChildren lists
    // every page of a stack, where other clients see the page shown.
    bool childrenByIndex = false;
    // Frames within their window, not on the screen (GTK 4, which cannot
    // know where its windows are).
    bool framesInWindow = false;
    // Reports a page's content only once a client asks for it (Firefox).
    bool lazyPages = false;
    // The end offset that asks for all of a text: GTK 4.8 answers -1 with
    // nothing and takes a larger end as the end.
    std::int32_t wholeTextEnd = -1;
};

Bridge bridgeFor(std::string_view toolkitName);

}  // namespace platform::atspi
