// The dispatcher: one request object in, one result value out (or a throw).
#pragma once

#include <nlohmann/json.hpp>

namespace dispatch {

nlohmann::json handle(const nlohmann::json& request);

}  // namespace dispatch
