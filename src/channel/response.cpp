#include "channel/response.h"

#include <cerrno>
#include <exception>

#include <unistd.h>

#include "channel/failure.h"
#include "channel/json_line.h"
#include "dispatch/handle.h"

namespace channel {
namespace {

std::string errorLine(const std::string& id, const std::string& message, const std::string& code) {
    return "{\"id\":" + id + ",\"error\":" + dump(message) + ",\"code\":" + dump(code) + "}\n";
}

}  // namespace

std::string respondLine(const std::string& id, const nlohmann::json& request) {
    try {
        nlohmann::json result = dispatch::handle(request);
        return "{\"id\":" + id + ",\"result\":" + dump(result) + "}\n";
    } catch (const Failure& f) {
        return errorLine(id, f.message, f.code);
    } catch (const std::exception& e) {
        return errorLine(id, e.what(), "helper");
    } catch (...) {
        return errorLine(id, "Unexpected error", "helper");
    }
}

void respond(const std::string& id, const nlohmann::json& request) {
    write(respondLine(id, request));
}

void write(std::string_view line) {
    // One write puts a line of any ordinary size on the pipe; the loop only
    // matters when a very large answer is split or a signal interrupts it.
    while (!line.empty()) {
        ssize_t n = ::write(1, line.data(), line.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        line.remove_prefix(static_cast<std::size_t>(n));
    }
}

}  // namespace channel
