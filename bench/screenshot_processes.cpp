#include "bench/screenshot_processes.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// ARGV's standard output, or nullopt-like false when it failed.
bool runOnce(const std::vector<std::string>& argv, std::size_t& bytes) {
    int out[2];
    if (pipe(out) != 0) return false;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 2);
        close(out[0]);
        close(out[1]);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    bytes = 0;
    char buffer[1 << 16];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) != 0;)
        if (n > 0) bytes += static_cast<std::size_t>(n);
        else if (errno != EINTR) break;
    close(out[0]);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && bytes > 0;
}

bool writeAll(int fd, const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

ToolRun timeTool(const std::vector<std::string>& argv, int rounds) {
    ToolRun run;
    std::vector<double> ms;
    for (int i = 0; i <= rounds; ++i) {
        auto start = Clock::now();
        if (!runOnce(argv, run.bytes)) return ToolRun{};
        if (i > 0) ms.push_back(since(start));
    }
    run.ok = true;
    run.ms = median(ms);
    return run;
}

AgentRun timeAgent(const char* agent, int rounds) {
    AgentRun run;
    int in[2], out[2];
    if (pipe(in) != 0) return run;
    if (pipe(out) != 0) return run;
    signal(SIGPIPE, SIG_IGN);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
        execl(agent, agent, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    std::vector<double> ms;
    std::string pending;
    bool ok = pid > 0;
    for (int i = 0; ok && i <= rounds; ++i) {
        auto start = Clock::now();
        ok = writeAll(in[1], "{\"id\":" + std::to_string(i) + ",\"op\":\"screenshot\"}\n");
        std::size_t newline;
        while (ok && (newline = pending.find('\n')) == std::string::npos) {
            char buffer[1 << 16];
            ssize_t n = read(out[0], buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) ok = false;
            else pending.append(buffer, static_cast<std::size_t>(n));
        }
        if (!ok) break;
        double took = since(start);
        std::string line = pending.substr(0, newline + 1);
        pending.erase(0, newline + 1);
        auto answer = nlohmann::json::parse(line, nullptr, false);
        ok = answer.is_object() && answer.contains("result") && answer["result"].contains("png") &&
             answer["result"]["png"].is_string();
        if (!ok) {
            std::fprintf(stderr, "agent answered: %.200s\n", line.c_str());
            break;
        }
        const std::string& b64 = answer["result"]["png"].get_ref<const std::string&>();
        run.lineBytes = line.size();
        run.pngBytes = b64.size() / 4 * 3 - static_cast<std::size_t>(std::count(b64.end() - std::min<std::size_t>(2, b64.size()), b64.end(), '='));
        if (i > 0) ms.push_back(took);
    }
    close(in[1]);
    close(out[0]);
    if (pid > 0) waitpid(pid, nullptr, 0);
    run.ok = ok;
    run.ms = median(ms);
    return run;
}

}  // namespace bench
