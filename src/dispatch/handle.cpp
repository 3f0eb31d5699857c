#include "dispatch/handle.h"

#include <string_view>

#include "channel/failure.h"
#include "dispatch/arguments.h"
#include "dispatch/operations.h"
#include "platform/platform.h"

namespace dispatch {
namespace {

struct Entry {
    std::string_view name;
    Operation run;
};

// Matched in this order, by exact string equality.
constexpr Entry kOperations[] = {
    {"permissions", ops::permissions},
    {"request_permission", ops::requestPermission},
    {"apps", ops::apps},
    {"frontmost", ops::frontmost},
    {"windows", ops::windows},
    {"at", ops::at},
    {"display", ops::display},
    {"focus_info", ops::focusInfo},
    {"mouse", ops::mouse},
    {"drag", ops::drag},
    {"type", ops::type},
    {"key", ops::key},
    {"scroll", ops::scroll},
    {"activate", ops::activate},
    {"launch", ops::launch},
    {"ax_tree", ops::axTree},
    {"ax_press_at", ops::axPressAt},
    {"ax_press", ops::axPress},
    {"ax_focus", ops::axFocus},
    {"ax_info", ops::axInfo},
    {"ax_set", ops::axSet},
    {"screenshot", ops::screenshot},
    {"ax_find", ops::axFind},
    {"ax_wait", ops::axWait},
};

// The operation the request's "op" names, matched exactly; null when none.
Operation find(const json& request) {
    const json* op = arg(request, "op");
    std::string_view name;
    if (op && op->is_string()) name = op->get_ref<const std::string&>();
    for (const auto& entry : kOperations)
        if (entry.name == name) return entry.run;
    return nullptr;
}

}  // namespace

std::vector<std::string_view> operationNames() {
    std::vector<std::string_view> names;
    for (const auto& entry : kOperations) names.push_back(entry.name);
    return names;
}

json handle(const json& request) {
    Operation operation = find(request);
    if (!operation) throw channel::Failure{"Unknown request", "bad_args"};
    platform::RequestScope scope;
    return operation(request);
}

}  // namespace dispatch
