// The operations of the table, one function each. Every one takes the whole
// request object and returns its result dictionary, or throws.
#pragma once

#include <nlohmann/json.hpp>

namespace dispatch::ops {

using nlohmann::json;

// Permission and query operations (query_ops.cpp).
json permissions(const json& request);
json requestPermission(const json& request);
json apps(const json& request);
json frontmost(const json& request);
json windows(const json& request);
json at(const json& request);
json display(const json& request);
json focusInfo(const json& request);

// Input operations (input_ops.cpp).
json mouse(const json& request);
json drag(const json& request);
json type(const json& request);
json key(const json& request);
json scroll(const json& request);

// Application control (app_ops.cpp).
json activate(const json& request);
json launch(const json& request);

// Element operations (element_ops.cpp).
json axTree(const json& request);
json axPressAt(const json& request);
json axPress(const json& request);
json axFocus(const json& request);
json axInfo(const json& request);
json axSet(const json& request);
json axFind(const json& request);
json axWait(const json& request);

// Screen capture (capture_ops.cpp).
json screenshot(const json& request);

}  // namespace dispatch::ops
