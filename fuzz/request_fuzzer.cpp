// One request line through parsing, dispatch and the response step, against
// the scripted desktop. Checks, for every input:
// - a line the JSON library reads as an object (within the line, depth and NUL
//   rules) is never dropped;
// - a kept line gets exactly one response line: LF-terminated, no other LF,
//   a JSON object {"id","result"} or {"id","error","code"} with a known code,
//   whose "id" is the request's id text, byte for byte;
// - the password text never appears in an answer (unless the request held it),
//   the password field's value is never changed, and nothing is typed while it
//   has focus (system-wide or to its application);
// - every platform reference handed out is given back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <set>
#include <string>
#include <string_view>

#include "channel/json_line.h"
#include "channel/response.h"
#include "fake.h"
#include "scripted_desktop.h"

namespace {

using nlohmann::json;

[[noreturn]] void fail(const char* what, std::string_view detail) {
    std::fprintf(stderr, "invariant broken: %s\n%.*s\n", what, static_cast<int>(detail.size()), detail.data());
    std::abort();
}

const std::set<std::string> kCodes = {"bad_args", "secure_field", "not_running", "stale_element", "open_failed",
                                      "helper"};

// The nesting depth of a value: 0 for a scalar, 1 for a flat array or object.
std::size_t depthOf(const json& v) {
    if (!v.is_structured()) return 0;
    std::size_t inner = 0;
    for (const auto& item : v) inner = std::max(inner, depthOf(item));
    return inner + 1;
}

// Whether the JSON library alone accepts the line as an object, under the
// channel's own limits (length, NUL, depth).
bool acceptableObject(std::string_view line) {
    if (line.size() > channel::kMaxLineBytes || line.find('\0') != std::string_view::npos) return false;
    json v = json::parse(line, nullptr, false);
    return v.is_object() && depthOf(v) <= static_cast<std::size_t>(channel::kMaxDepth);
}

void checkResponse(const channel::Request& request, const std::string& out) {
    if (out.empty() || out.back() != '\n') fail("response does not end with LF", out);
    if (out.find('\n') != out.size() - 1) fail("response spans more than one line", out);
    const std::string head = "{\"id\":" + request.id + ",";
    if (out.compare(0, head.size(), head) != 0) fail("response does not start with the request's id", out);
    // The id is echoed as raw text and may be a number no double holds
    // (1e400); read the rest of the line with a plain id in its place.
    json r = json::parse("{\"id\":0," + out.substr(head.size()), nullptr, false);
    if (!r.is_object()) fail("response is not a JSON object", out);
    if (r.size() == 2 && r.contains("result")) return;
    if (r.size() == 3 && r.contains("error") && r.contains("code") && r["error"].is_string() &&
        r["code"].is_string() && kCodes.count(r["code"].get<std::string>()))
        return;
    fail("response has neither a result nor a known error", out);
}

// The id text against the request's "id" as the library read it.
void checkId(const channel::Request& request, std::string_view line) {
    json parsedId = json::parse(request.id, nullptr, false);
    const json& inRequest = request.object.contains("id") ? request.object["id"] : json(nullptr);
    if (parsedId.is_discarded()) {
        // Not every id text the channel echoes is one the library reads alone:
        // it may hold a number beyond double range (null in the request) or an
        // escaped lone surrogate (U+FFFD in the request). As the only key of a
        // request line it must give back the same text and the same value.
        auto alone = channel::parseRequest("{\"id\":" + request.id + "}");
        if (!alone || alone->id != request.id || alone->object["id"] != inRequest)
            fail("id text that the library cannot read reads otherwise on its own", line);
        return;
    }
    if (parsedId != inRequest) fail("id text differs from the request's id", line);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view line(reinterpret_cast<const char*>(data), size);
    const bool secureFocus = size % 2 == 1;
    fuzzdesk::Ids ids = fuzzdesk::script(secureFocus);
    const long refsBefore = fake::outstandingRefs();

    auto request = channel::parseRequest(line);
    if (!request) {
        if (acceptableObject(line)) fail("an acceptable object was dropped", line);
        return 0;
    }
    if (!request->object.is_object()) fail("a kept request is not an object", line);
    checkId(*request, line);

    std::string out = channel::respondLine(request->id, request->object);
    checkResponse(*request, out);

    if (fake::outstandingRefs() != refsBefore) fail("platform references leaked", line);
    if (line.find(fuzzdesk::kSecret) == std::string_view::npos &&
        channel::dump(request->object).find(fuzzdesk::kSecret) == std::string::npos &&
        out.find(fuzzdesk::kSecret) != std::string::npos)
        fail("the password text was answered", out);
    const fake::AxValue* secret = fake::desktop().ax.value(ids.secure, "AXValue");
    const std::string* text = secret ? std::get_if<std::string>(&secret->v) : nullptr;
    if (!text || *text != fuzzdesk::kSecret) fail("the password field was changed", line);
    // Text posted system-wide or to the password field's application would
    // land in it; text for another process goes to that process.
    if (secureFocus)
        for (const auto& p : fake::desktop().input.posted)
            if (p.event.unicode && (!p.pid || *p.pid == fuzzdesk::kPid))
                fail("text was typed into the password field", line);
    return 0;
}
