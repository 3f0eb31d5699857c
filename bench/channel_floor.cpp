// The floor the agent's channel is measured against: one thread reads a line,
// parses it with the same JSON library and writes the compact error answer
// with one write call. No hand-off, no dispatch.
#include <string>
#include <string_view>

#include <unistd.h>

#include <nlohmann/json.hpp>

int main() {
    std::string pending;
    std::string buffer(1 << 16, '\0');
    for (;;) {
        ssize_t n = ::read(0, buffer.data(), buffer.size());
        if (n <= 0) return 0;
        pending.append(buffer.data(), static_cast<std::size_t>(n));
        std::size_t start = 0;
        for (std::size_t lf; (lf = pending.find('\n', start)) != std::string::npos; start = lf + 1) {
            auto request = nlohmann::json::parse(std::string_view(pending).substr(start, lf - start),
                                                 nullptr, false);
            if (!request.is_object()) continue;
            auto it = request.find("id");
            std::string line = "{\"id\":" + (it == request.end() ? std::string("null") : it->dump()) +
                               ",\"error\":\"Unknown request\",\"code\":\"bad_args\"}\n";
            if (::write(1, line.data(), line.size()) < 0) return 0;
        }
        pending.erase(0, start);
    }
}
