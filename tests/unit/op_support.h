// Driving one request line through parsing, dispatch and the response step,
// and reading back what the fake desktop saw.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "channel/json_line.h"
#include "channel/response.h"
#include "fake.h"

namespace support {

// The whole response line as JSON ("dropped" when the line gets no answer).
inline nlohmann::json answer(std::string_view line) {
    auto request = channel::parseRequest(line);
    if (!request) return "dropped";
    return nlohmann::json::parse(channel::respondLine(request->id, request->object));
}

inline nlohmann::json result(std::string_view line) { return answer(line).value("result", nlohmann::json()); }

// "message/code" of an error answer, or "ok" when it has a result.
inline std::string error(std::string_view line) {
    auto a = answer(line);
    if (a.contains("result")) return "ok";
    return a.value("error", std::string("?")) + "/" + a.value("code", std::string("?"));
}

// The log lines that begin with one of the prefixes, in order.
inline std::vector<std::string> logOf(std::initializer_list<std::string_view> prefixes) {
    std::vector<std::string> out;
    for (const auto& line : fake::desktop().log)
        for (auto p : prefixes)
            if (line.rfind(p, 0) == 0) {
                out.push_back(line);
                break;
            }
    return out;
}

// Posted events and pauses, in order: the timeline of synthetic input.
inline std::vector<std::string> timeline() { return logOf({"post ", "pause ", "create-failed "}); }

}  // namespace support
