// Pipes trivial requests through the built agent and, in the same run, through
// the single-threaded floor, and prints both rates, their ratio and the median
// round trip of one request at a time.
//
//   channel_bench [requests=200000] [round-trips=2000]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Child {
    pid_t pid;
    int in;   // the child's standard input
    int out;  // the child's standard output
};

Child start(const char* path) {
    int to[2], from[2];
    // Close-on-exec, so a second child does not hold the first one's pipes open.
    if (pipe2(to, O_CLOEXEC) != 0 || pipe2(from, O_CLOEXEC) != 0) std::exit(1);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(to[0], 0);
        dup2(from[1], 1);
        close(to[0]); close(to[1]); close(from[0]); close(from[1]);
        execl(path, path, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(to[0]);
    close(from[1]);
    return {pid, to[1], from[0]};
}

void finish(Child& c) {
    close(c.in);
    char sink[4096];
    while (read(c.out, sink, sizeof sink) > 0) {}
    close(c.out);
    waitpid(c.pid, nullptr, 0);
}

void writeAll(int fd, const std::string& s) {
    std::size_t done = 0;
    while (done < s.size()) {
        ssize_t n = write(fd, s.data() + done, s.size() - done);
        if (n <= 0) std::exit(1);
        done += static_cast<std::size_t>(n);
    }
}

// Reads until `lines` LF bytes have arrived.
void readLines(int fd, long lines) {
    char buf[1 << 16];
    while (lines > 0) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) std::exit(1);
        lines -= std::count(buf, buf + n, '\n');
    }
}

double throughput(const char* path, long n) {
    Child c = start(path);
    std::string batch;
    for (long i = 0; i < n; ++i) batch += "{\"id\":" + std::to_string(i) + ",\"op\":\"nope\"}\n";
    auto t0 = Clock::now();
    std::thread writer([&] { writeAll(c.in, batch); });
    readLines(c.out, n);
    auto t1 = Clock::now();
    writer.join();
    finish(c);
    return n / std::chrono::duration<double>(t1 - t0).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// One request at a time, alternating between the two programs so that both
// see the same machine load; returns the median round trip of each.
std::pair<double, double> medianRoundTrips(int n) {
    Child children[2] = {start(AGENT_PATH), start(FLOOR_PATH)};
    std::vector<double> micros[2];
    for (int i = 0; i < 2 * n; ++i) {
        Child& c = children[i % 2];
        std::string line = "{\"id\":" + std::to_string(i) + ",\"op\":\"nope\"}\n";
        auto t0 = Clock::now();
        writeAll(c.in, line);
        readLines(c.out, 1);
        micros[i % 2].push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    for (auto& c : children) finish(c);
    return {median(micros[0]), median(micros[1])};
}

}  // namespace

int main(int argc, char** argv) {
    signal(SIGPIPE, SIG_IGN);
    long n = argc > 1 ? std::atol(argv[1]) : 200000;
    int trips = argc > 2 ? std::atoi(argv[2]) : 2000;
    // Alternate the two programs, several rounds, so that both see the same
    // machine load; report the median round.
    std::vector<double> agentRates, floorRates;
    for (int round = 0; round < 5; ++round) {
        agentRates.push_back(throughput(AGENT_PATH, n));
        floorRates.push_back(throughput(FLOOR_PATH, n));
    }
    double agentRate = median(agentRates), floorRate = median(floorRates);
    auto [agentTrip, floorTrip] = medianRoundTrips(trips);
    std::printf("requests: %ld per round, 5 rounds; round trips: %d each, interleaved\n", n, trips);
    std::printf("throughput  agent %10.0f req/s   floor %10.0f req/s   floor/agent %.2fx\n",
                agentRate, floorRate, floorRate / agentRate);
    std::printf("round trip  agent %10.1f us      floor %10.1f us      agent/floor %.2fx\n",
                agentTrip, floorTrip, agentTrip / floorTrip);
    return 0;
}
