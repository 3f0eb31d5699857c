// A small scripted desktop shared by the fuzz targets: two applications, a
// window list, and an accessibility tree with buttons, a text field, a
// password field and some nesting, so that requests reach real paths.
#pragma once

#include <string>

namespace fuzzdesk {

// The text of the password field. No answer may ever carry it.
inline constexpr const char* kSecret = "pw-Qz7!kept";

struct Ids {
    int app = 0;          // application element of pid 412
    int window = 0;       // its first window
    int button = 0;       // "0.0", pressable
    int field = 0;        // "0.1", a plain text field
    int secure = 0;       // "0.2", the password field
    int group = 0;        // "0.3", holds two levels more
};

inline constexpr int kPid = 412;

// Resets the fake desktop and scripts it afresh; the password field has focus
// when `secureFocus` is set, else the plain field.
Ids script(bool secureFocus);

}  // namespace fuzzdesk
