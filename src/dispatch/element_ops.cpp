#include "dispatch/operations.h"

namespace dispatch::ops {

// Not built yet: these answer like an unknown name.
json axTree(const json&) { unknownRequest(); }
json axPressAt(const json&) { unknownRequest(); }
json axPress(const json&) { unknownRequest(); }
json axFocus(const json&) { unknownRequest(); }
json axInfo(const json&) { unknownRequest(); }
json axSet(const json&) { unknownRequest(); }

}  // namespace dispatch::ops
