#include "dispatch/operations.h"

namespace dispatch::ops {

// Not built yet: these answer like an unknown name.
json activate(const json&) { unknownRequest(); }
json launch(const json&) { unknownRequest(); }

}  // namespace dispatch::ops
