// "ax_tree" against a live application compared with a plain pyatspi walk of
// the same fields, both measured in this one run.
//
// Usage: ax_tree_bench PID [ROUNDS [DEPTH MAX]]   (inside a desktop session with AT-SPI)
// Prints the median milliseconds of each, their ratio, and the D-Bus method
// calls the backend made per recorded element.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ax/tree.h"
#include "platform/platform.h"
#include "platform/x11/atspi/session.h"

namespace {

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::printf("usage: ax_tree_bench PID [ROUNDS]\n");
        return 2;
    }
    int pid = std::atoi(argv[1]);
    int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 15;
    std::int64_t depth = argc > 4 ? std::atoll(argv[3]) : 8;
    std::int64_t max = argc > 4 ? std::atoll(argv[4]) : 300;
    auto* session = platform::atspi::Session::get();
    if (!session) {
        std::printf("no accessibility bus\n");
        return 1;
    }

    {
        platform::RequestScope scope;
        ax::tree(pid, depth, max);  // first contact with the bus and the application
    }
    std::vector<double> agentMs;
    std::size_t elements = 0;
    std::uint64_t calls = 0;
    for (int i = 0; i < rounds; ++i) {
        // One request each, as the dispatcher runs "ax_tree".
        std::uint64_t before = session->sender().callsSent();
        auto start = std::chrono::steady_clock::now();
        platform::RequestScope scope;
        auto snapshot = ax::tree(pid, depth, max);
        agentMs.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        elements = snapshot["elements"].size();
        calls = session->sender().callsSent() - before;
    }

    std::string command = "/usr/bin/python3 " PYATSPI_WALK " " + std::to_string(pid) + " " + std::to_string(rounds + 1);
    std::vector<double> pyMs;
    std::size_t pyElements = 0;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        double ms = 0;
        std::size_t n = 0;
        bool first = true;
        while (std::fscanf(p, "%lf %zu", &ms, &n) == 2) {
            if (!first) pyMs.push_back(ms);  // the first round warms pyatspi up
            first = false;
            pyElements = n;
        }
        ::pclose(p);
    }

    double a = median(agentMs), py = median(pyMs);
    std::printf("elements recorded: ax_tree %zu, pyatspi %zu\n", elements, pyElements);
    std::printf("ax_tree (depth %lld, max %lld): median %.1f ms over %d rounds\n", static_cast<long long>(depth),
                static_cast<long long>(max), a, rounds);
    std::printf("pyatspi walk:               median %.1f ms over %zu rounds\n", py, pyMs.size());
    if (a > 0 && py > 0) std::printf("ratio pyatspi / ax_tree:    %.1fx\n", py / a);
    if (elements) std::printf("D-Bus calls per element:    %.2f (%llu calls)\n",
                              static_cast<double>(calls) / static_cast<double>(elements),
                              static_cast<unsigned long long>(calls));
    return 0;
}
