#include "ax/focus.h"

namespace ax {

// Nothing is inspected yet: no focused element, nothing pressed.
nlohmann::json focusInfo(std::optional<std::int32_t>) {
    return {{"secureInput", platform::isSecureEventInputEnabled()}, {"secure", false}};
}

nlohmann::json pressAt(std::int32_t, platform::Point) { return {{"ok", false}}; }

}  // namespace ax
