#include "mcp/server.h"

#include <exception>
#include <utility>

#include "channel/failure.h"
#include "channel/json_line.h"
#include "channel/response.h"
#include "dispatch/handle.h"
#include "mcp/tools.h"

#ifndef AGENT_VERSION
#define AGENT_VERSION "0"
#endif

namespace mcp {
namespace {

using nlohmann::json;

// The versions a client may ask for and get; any other is answered with the
// first, and the client decides whether it can speak it.
constexpr std::string_view kVersions[] = {kProtocolVersion, "2025-03-26", "2024-11-05"};

// A JSON-RPC error answered in place of a result.
struct RpcError {
    int code;
    std::string message;
};

const json* member(const json& object, const char* key) {
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

std::string errorLine(const std::string& idText, int code, std::string_view message) {
    return "{\"jsonrpc\":\"2.0\",\"id\":" + idText + ",\"error\":{\"code\":" + std::to_string(code) +
           ",\"message\":" + channel::dump(message) + "}}\n";
}

std::string resultLine(const std::string& idText, const json& result) {
    return "{\"jsonrpc\":\"2.0\",\"id\":" + idText + ",\"result\":" + channel::dump(result) + "}\n";
}

json initialize(const json& params) {
    const json* asked = member(params, "protocolVersion");
    if (!asked || !asked->is_string())
        throw RpcError{kInvalidParams, "Invalid params: \"protocolVersion\" must be a string"};
    std::string_view version = kProtocolVersion;
    for (std::string_view known : kVersions)
        if (asked->get_ref<const std::string&>() == known) version = known;
    return {{"protocolVersion", version},
            {"capabilities", {{"tools", json::object()}}},
            {"serverInfo", {{"name", "agent-mcp"}, {"title", "Desktop agent"}, {"version", AGENT_VERSION}}},
            {"instructions",
             "Inspect and operate the desktop. Points are global screen coordinates in points (origin top-left of "
             "the main display). Element ids from ax_tree or ax_find address elements in the other ax_ tools; "
             "ax_find finds elements without reading the whole tree, and \"expect\" refuses an id that now "
             "leads to another element."}};
}

json toolResult(const json& value) {
    json structured = value.is_object() ? value : json{{"result", value}};
    json content = json::array();
    // An image travels as an image item; the structured result keeps the rest.
    if (auto png = structured.find("png"); png != structured.end() && png->is_string()) {
        content.push_back({{"type", "image"}, {"data", std::move(*png)}, {"mimeType", "image/png"}});
        structured.erase("png");
    }
    content.push_back({{"type", "text"}, {"text", channel::dump(structured)}});
    return {{"content", std::move(content)}, {"structuredContent", std::move(structured)}};
}

json toolError(const std::string& text) {
    return {{"content", json::array({{{"type", "text"}, {"text", text}}})}, {"isError", true}};
}

json callTool(const json& params) {
    const json* name = member(params, "name");
    if (!name || !name->is_string()) throw RpcError{kInvalidParams, "Invalid params: \"name\" must be a string"};
    const std::string& tool = name->get_ref<const std::string&>();
    if (!isTool(tool)) throw RpcError{kInvalidParams, "Unknown tool: " + tool};
    json request = json::object();
    if (const json* arguments = member(params, "arguments"); arguments && !arguments->is_null()) {
        if (!arguments->is_object())
            throw RpcError{kInvalidParams, "Invalid params: \"arguments\" must be an object"};
        request = *arguments;
    }
    request["op"] = tool;
    try {
        return toolResult(dispatch::handle(request));
    } catch (const channel::Failure& f) {
        return toolError(f.message + " (" + f.code + ")");
    } catch (const std::exception& e) {
        return toolError(std::string(e.what()) + " (helper)");
    } catch (...) {
        return toolError("Unexpected error (helper)");
    }
}

json run(const std::string& method, const json& params) {
    if (method == "initialize") return initialize(params);
    if (method == "ping") return json::object();
    if (method == "tools/list") return {{"tools", tools()}};
    if (method == "tools/call") return callTool(params);
    throw RpcError{kMethodNotFound, "Method not found: " + method};
}

}  // namespace

std::optional<std::string> answer(const json& message, const std::string& idText) {
    if (!message.is_object())
        return errorLine("null", kInvalidRequest,
                         message.is_array() ? "Invalid Request: batches are not supported"
                                            : "Invalid Request: not an object");
    const json* id = member(message, "id");
    const bool usableId = id && (id->is_string() || id->is_number_integer());
    const std::string echo = usableId ? idText : std::string("null");
    const json* version = member(message, "jsonrpc");
    if (!version || *version != "2.0") return errorLine(echo, kInvalidRequest, "Invalid Request: \"jsonrpc\" must be \"2.0\"");
    const json* method = member(message, "method");
    if (!method) {
        // A response: this server sends no requests, so there is nothing it answers.
        if (id && (message.contains("result") || message.contains("error"))) return std::nullopt;
        return errorLine(echo, kInvalidRequest, "Invalid Request: no \"method\"");
    }
    if (!method->is_string()) return errorLine(echo, kInvalidRequest, "Invalid Request: \"method\" must be a string");
    if (!id) return std::nullopt;  // a notification: never answered
    if (!usableId) return errorLine("null", kInvalidRequest, "Invalid Request: \"id\" must be a string or an integer");
    const json* params = member(message, "params");
    if (params && !params->is_object())
        return errorLine(echo, kInvalidParams, "Invalid params: \"params\" must be an object");
    static const json none = json::object();
    try {
        return resultLine(echo, run(method->get_ref<const std::string&>(), params ? *params : none));
    } catch (const RpcError& e) {
        return errorLine(echo, e.code, e.message);
    }
}

std::string parseErrorLine(std::string_view detail) {
    return errorLine("null", kParseError, detail.empty() ? "Parse error" : "Parse error: " + std::string(detail));
}

channel::Front front() {
    channel::Front f;
    f.line = [](std::string_view line) -> std::function<void()> {
        // Blank lines between messages are no messages.
        if (line.find_first_not_of(" \t\r") == std::string_view::npos) return {};
        auto parsed = channel::parseLine(line);
        if (!parsed) return [] { channel::write(parseErrorLine("")); };
        return [m = std::move(*parsed)] {
            if (auto out = answer(m.object, m.id)) channel::write(*out);
        };
    };
    f.overlong = [] {
        return std::function<void()>([] { channel::write(parseErrorLine("the line is longer than 16 MiB")); });
    };
    return f;
}

}  // namespace mcp
