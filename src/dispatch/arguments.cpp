#include "dispatch/arguments.h"

#include <cmath>

#include "channel/failure.h"

namespace dispatch {
namespace {

[[noreturn]] void outOfRange(std::string_view name) {
    throw channel::Failure{"Number out of range for \"" + std::string(name) + "\"", "bad_args"};
}

}  // namespace

const json* arg(const json& request, std::string_view key) {
    if (!request.is_object()) return nullptr;
    auto it = request.find(key);
    return it == request.end() ? nullptr : &*it;
}

std::optional<double> num(const json* value) {
    if (!value) return std::nullopt;
    if (value->is_boolean()) return value->get<bool>() ? 1.0 : 0.0;
    if (value->is_number()) return value->get<double>();
    return std::nullopt;
}

std::int64_t toInt64(double value, std::string_view name) {
    if (!(value >= -9223372036854775808.0 && value < 9223372036854775808.0)) outOfRange(name);
    return static_cast<std::int64_t>(value);
}

std::int32_t toInt32(double value, std::string_view name) {
    if (!(value > -2147483649.0 && value < 2147483648.0)) outOfRange(name);
    return static_cast<std::int32_t>(value);
}

std::uint16_t toUInt16(double value, std::string_view name) {
    if (!(value > -1.0 && value < 65536.0)) outOfRange(name);
    return static_cast<std::uint16_t>(value);
}

std::int32_t int32(const json* value, std::string_view name) {
    return toInt32(num(value).value_or(0.0), name);
}

platform::Point point(const json& request, const char* key) {
    const json* source = &request;
    if (key) {
        const json* nested = arg(request, key);
        if (nested && nested->is_object()) source = nested;
    }
    auto x = num(arg(*source, "x"));
    auto y = num(arg(*source, "y"));
    if (!x || !y) throw channel::Failure{"Missing point", "bad_args"};
    return {*x, *y};
}

std::optional<std::int32_t> pidOf(const json& request) {
    auto v = num(arg(request, "pid"));
    if (!v) return std::nullopt;
    return toInt32(*v, "pid");
}

std::optional<std::string> string(const json& request, std::string_view key) {
    const json* v = arg(request, key);
    if (!v || !v->is_string()) return std::nullopt;
    return v->get<std::string>();
}

std::optional<bool> boolean(const json& request, std::string_view key) {
    const json* v = arg(request, key);
    if (!v || !v->is_boolean()) return std::nullopt;
    return v->get<bool>();
}

std::optional<std::vector<std::string>> stringList(const json& request, std::string_view key) {
    const json* v = arg(request, key);
    if (!v || !v->is_array()) return std::nullopt;
    std::vector<std::string> out;
    out.reserve(v->size());
    for (const auto& item : *v) {
        if (!item.is_string()) return std::nullopt;
        out.push_back(item.get<std::string>());
    }
    return out;
}

}  // namespace dispatch
