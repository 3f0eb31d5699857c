// The dispatcher: one request object in, one result value out (or a throw).
#pragma once

#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "channel/failure.h"

namespace dispatch {

using Operation = nlohmann::json (*)(const nlohmann::json& request);

// Runs the operation the request names, as one request of the platform (what
// the backend remembers while it runs is dropped when it returns or throws);
// a name that matches no operation exactly throws "Unknown request" ("bad_args").
nlohmann::json handle(const nlohmann::json& request);

// The names of the operations, in the order they are matched.
std::vector<std::string_view> operationNames();

}  // namespace dispatch
