#include "dispatch/operations.h"

namespace dispatch::ops {

// Not built yet: these answer like an unknown name.
json permissions(const json&) { unknownRequest(); }
json requestPermission(const json&) { unknownRequest(); }
json apps(const json&) { unknownRequest(); }
json frontmost(const json&) { unknownRequest(); }
json windows(const json&) { unknownRequest(); }
json at(const json&) { unknownRequest(); }
json display(const json&) { unknownRequest(); }
json focusInfo(const json&) { unknownRequest(); }

}  // namespace dispatch::ops
