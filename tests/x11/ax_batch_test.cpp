// Sending a batch of calls to an owner that never answers: a peer that
// authenticates the connection and then reads every call without replying.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/x11/atspi/batch.h"

namespace {

using platform::atspi::Call;
using platform::atspi::Ref;
using platform::atspi::Sender;

// A D-Bus peer on a private socket: answers the authentication exchange,
// then takes every message and answers none of them.
class SilentPeer {
public:
    SilentPeer() {
        char dir[] = "/tmp/ax-batch-XXXXXX";
        dir_ = mkdtemp(dir);
        path_ = dir_ + "/bus";
        listener_ = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        path_.copy(addr.sun_path, sizeof addr.sun_path - 1);
        if (bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(listener_, 1) != 0)
            return;
        thread_ = std::thread([this] { serve(); });
    }
    ~SilentPeer() {
        shutdown(listener_, SHUT_RDWR);
        if (client_ >= 0) shutdown(client_, SHUT_RDWR);
        if (thread_.joinable()) thread_.join();
        close(listener_);
        if (client_ >= 0) close(client_);
        unlink(path_.c_str());
        rmdir(dir_.c_str());
    }
    std::string address() const { return "unix:path=" + path_; }

private:
    void serve() {
        client_ = accept(listener_, nullptr, nullptr);
        if (client_ < 0) return;
        std::string line;
        bool authenticated = false;
        char c;
        while (read(client_, &c, 1) == 1) {
            if (authenticated) continue;  // calls: read, never answered
            if (c == '\0') continue;      // the credentials byte
            line += c;
            if (!line.ends_with("\r\n")) continue;
            std::string reply;
            if (line.starts_with("AUTH"))
                reply = "OK 0123456789abcdef0123456789abcdef\r\n";
            else if (line.starts_with("NEGOTIATE_UNIX_FD"))
                reply = "AGREE_UNIX_FD\r\n";
            else if (line.starts_with("BEGIN"))
                authenticated = true;
            else
                reply = "ERROR\r\n";
            if (!reply.empty() && write(client_, reply.data(), reply.size()) < 0) return;
            line.clear();
        }
    }

    std::string dir_, path_;
    int listener_ = -1;
    int client_ = -1;
    std::thread thread_;
};

// A sender on a connection to a silent peer, with a 1 s timeout.
class AxBatch : public ::testing::Test {
protected:
    void SetUp() override {
        connection_ = dbus_connection_open_private(peer_.address().c_str(), nullptr);
        ASSERT_NE(connection_, nullptr);
        sender_.emplace(connection_);
        sender_->setTimeout(1.0f);
    }
    void TearDown() override {
        if (!connection_) return;
        dbus_connection_close(connection_);
        dbus_connection_unref(connection_);
    }

    // `count` GetRole calls to objects of `owner`.
    static std::vector<Call> callsTo(const std::string& owner, int count) {
        std::vector<Call> calls;
        for (int i = 0; i < count; ++i)
            calls.emplace_back(Ref{owner, "/org/a11y/atspi/accessible/" + std::to_string(i)},
                               platform::atspi::kAccessibleIface, "GetRole");
        return calls;
    }

    SilentPeer peer_;
    DBusConnection* connection_ = nullptr;
    std::optional<Sender> sender_;
};

TEST_F(AxBatch, AnOwnerThatNeverAnswersCostsOneTimeoutPerBatch) {
    const std::string owner = "org.example.Silent";
    constexpr int kCalls = 30;
    std::vector<Call> calls = callsTo(owner, kCalls);
    auto start = std::chrono::steady_clock::now();
    sender_->run(calls);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    for (auto& c : calls) EXPECT_EQ(c.reply(), nullptr);
    EXPECT_TRUE(sender_->unresponsive(owner));
    // One timeout of 1 s when quiet; waiting for each call in turn would take
    // one timeout per call, 30 s.
    EXPECT_LT(seconds, kCalls / 3.0);

    // Within the request the owner is not called again.
    std::uint64_t sent = sender_->callsSent();
    std::vector<Call> again = callsTo(owner, 1);
    EXPECT_FALSE(sender_->runOne(again[0]));
    EXPECT_EQ(sender_->callsSent(), sent);
}

TEST_F(AxBatch, AnApplicationThatMissesTheDirectConnectionQuestionIsNotCalled) {
    // A unique name: its direct connection is asked for first, and that
    // question goes unanswered.
    const std::string owner = ":1.99";
    std::vector<Call> calls = callsTo(owner, 3);
    sender_->run(calls);
    for (auto& c : calls) EXPECT_EQ(c.reply(), nullptr);
    EXPECT_TRUE(sender_->unresponsive(owner));
    EXPECT_EQ(sender_->callsSent(), 1u);  // the question only
}

}  // namespace
