#include "dispatch/operations.h"

namespace dispatch::ops {

// Not built yet: these answer like an unknown name.
json mouse(const json&) { unknownRequest(); }
json drag(const json&) { unknownRequest(); }
json type(const json&) { unknownRequest(); }
json key(const json&) { unknownRequest(); }
json scroll(const json&) { unknownRequest(); }

}  // namespace dispatch::ops
