#include "input/pointer.h"

namespace input {

platform::EventSource source;

}  // namespace input
