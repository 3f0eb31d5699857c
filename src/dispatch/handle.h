// The dispatcher: one request object in, one result value out (or a throw).
#pragma once

#include <nlohmann/json.hpp>

#include "channel/failure.h"

namespace dispatch {

using Operation = nlohmann::json (*)(const nlohmann::json& request);

// The operation the request's "op" names, matched exactly; null when none.
Operation find(const nlohmann::json& request);

// The failure for a request whose "op" names no operation.
channel::Failure unknownRequest();

// Runs the operation the request names; throws unknownRequest() when none.
nlohmann::json handle(const nlohmann::json& request);

}  // namespace dispatch
