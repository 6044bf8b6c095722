// Network ports against gateways that misbehave: a peer that stops reading,
// replies that come late or are cut, signals during the exchange, names
// resolved once. No call may outlast its time-out by more than one connect,
// and no reply may pass for another request's.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <dlfcn.h>
#include <netdb.h>
#include <sys/socket.h>

#include <atomic>
#include <cstdlib>
#include <functional>

#include "interrupter.h"
#include "net_frames.h"
#include "vornlink.h"

using namespace vltest;

namespace {

std::atomic<int> resolutions{0};

// Slack for a loaded machine: the bound checked is correctness (no call
// waits past its deadlines), not speed.
constexpr double kSlackMs = 300;

// The register a request reads or writes, in either framing.
uint16_t requestAddress(bool mbap, const Bytes& req) {
    const size_t at = mbap ? 8 : 2;
    return req.size() > at + 1 ? static_cast<uint16_t>(req[at] << 8 | req[at + 1]) : 0;
}

// Serves the requests of one connection in turn until the library makes a
// new one (or the peer stops); answer gets each request with its number
// over the whole peer's life.
void serveRequests(TcpPeer& p, int conn, std::atomic<int>& count,
                   const std::function<void(int conn, int k, const Bytes& req)>& answer) {
    while (!p.stopping() && !p.pending()) {
        Bytes req = p.request(conn, 20);
        if (!req.empty()) answer(conn, count++, req);
    }
}

// The library's connection to this peer, found among the process's sockets.
int libraryConnection(int peerPort) {
    DIR* dir = opendir("/proc/self/fd");
    int found = -1;
    while (dirent* e = dir ? readdir(dir) : nullptr) {
        const int fd = std::atoi(e->d_name);
        sockaddr_storage a{};
        socklen_t size = sizeof a;
        if (getpeername(fd, reinterpret_cast<sockaddr*>(&a), &size) == 0 &&
            a.ss_family == AF_INET &&
            ntohs(reinterpret_cast<sockaddr_in*>(&a)->sin_port) == peerPort)
            found = fd;
    }
    if (dir) closedir(dir);
    return found;
}

class NetworkFaults : public ::testing::TestWithParam<bool> {
protected:
    void TearDown() override {
        releasePort();
        SetTout(400);
    }
    bool mbap() const { return GetParam(); }
    // One call, timed against its bound: the time-out, one connect (also
    // bounded by the time-out) when it makes the connection again, slack.
    template <typename Call> auto bounded(uint32_t timeoutMs, Call call) {
        const auto start = std::chrono::steady_clock::now();
        auto result = call();
        EXPECT_LT(msSince(start), 2.0 * timeoutMs + kSlackMs) << "a call outlasted its time-out";
        return result;
    }
};

} // namespace

// Every name resolution of the process, the library's included.
extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints,
                           addrinfo** res) {
    using Fn = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
    static const Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "getaddrinfo"));
    ++resolutions;
    return real(node, service, hints, res);
}

// A gateway whose receive window has closed: sending must stop at the
// exchange's deadline, not at the serial line's second per byte.
TEST_P(NetworkFaults, APeerThatStopsReadingCannotHoldACall) {
    TcpPeer peer(
        [](TcpPeer& p, int) {
            while (!p.stopping() && !p.pending())
                p.pause(2);
        },
        false, 1);
    constexpr uint32_t kTimeout = 20;
    ASSERT_EQ(init_comm(address(mbap(), peer.port()).c_str(), 9600, 0), 0);
    // A small send buffer fills within a few requests.
    const int small = 4096;
    ASSERT_EQ(
        setsockopt(libraryConnection(peer.port()), SOL_SOCKET, SO_SNDBUF, &small, sizeof small), 0);
    SetTout(kTimeout);
    uint16_t words[123] = {};
    for (int i = 0; i < 200 && peer.connections() < 2; ++i)
        EXPECT_EQ(bounded(kTimeout, [&] { return invoke_modb(1, 16, 0, 123, words); }), 14);
    EXPECT_GE(peer.connections(), 2) << "a send that could not finish drops the connection";
    if (!mbap()) { // a raw request far beyond any window
        Bytes huge(16 << 20, 0x55);
        uint8_t response[256];
        EXPECT_EQ(
            bounded(kTimeout,
                    [&] { return Send_And_Receive(int32_t(huge.size()), huge.data(), response); }),
            0);
    }
}

// The gateway answers every other request only after the time-out, each
// answer carrying its request's address: an accepted value must be its own.
TEST_P(NetworkFaults, LateRepliesNeverPassForTheNextOne) {
    constexpr uint32_t kTimeout = 100;
    std::atomic<int> count{0};
    const bool framing = mbap();
    TcpPeer peer([&](TcpPeer& p, int conn) {
        serveRequests(p, conn, count, [&](int c, int k, const Bytes& req) {
            if (k % 2 == 0) p.pause(kTimeout + 30);
            const uint16_t at = requestAddress(framing, req);
            p.send(c, replyTo(framing, req, 1, twoRegisters(at, at)));
        });
    });
    ASSERT_EQ(init_comm(address(mbap(), peer.port()).c_str(), 9600, 0), 0);
    SetTout(kTimeout);
    int answered = 0;
    for (uint16_t at = 100; at < 106; ++at) {
        SCOPED_TRACE(at);
        uint16_t regs[2] = {};
        const int32_t status = bounded(kTimeout, [&] { return invoke_modb(1, 3, at, 2, regs); });
        if (status == 0) {
            ++answered;
            EXPECT_EQ(regs[0], at) << "another request's reply was accepted";
        } else {
            EXPECT_EQ(status, 14);
        }
    }
    EXPECT_GE(answered, 2) << "the prompt answers must get through";
}

// A reply cut by the time-out: its rest, arriving later, must not be read
// as the start of the next reply, and the cut reply itself is no answer.
TEST_P(NetworkFaults, AReplyCutAtTheDeadlineIsNoAnswerAndLeavesNothingBehind) {
    constexpr uint32_t kTimeout = 150;
    std::atomic<int> count{0};
    const bool framing = mbap();
    TcpPeer peer([&](TcpPeer& p, int conn) {
        serveRequests(p, conn, count, [&](int c, int k, const Bytes& req) {
            const uint16_t at = requestAddress(framing, req);
            Bytes reply = replyTo(framing, req, 1, twoRegisters(at, at));
            if (k == 0) {
                p.send(c, Bytes(reply.begin(), reply.begin() + 5));
                p.pause(kTimeout + 40);
                reply.erase(reply.begin(), reply.begin() + 5);
            }
            p.send(c, reply);
        });
    });
    ASSERT_EQ(init_comm(address(mbap(), peer.port()).c_str(), 9600, 0), 0);
    SetTout(kTimeout);
    uint16_t regs[2] = {};
    EXPECT_EQ(bounded(kTimeout, [&] { return invoke_modb(1, 3, 7, 2, regs); }), 14);
    for (uint16_t at : {8, 9}) {
        EXPECT_EQ(bounded(kTimeout, [&] { return invoke_modb(1, 3, at, 2, regs); }), 0);
        EXPECT_EQ(regs[0], at);
    }
    EXPECT_EQ(peer.connections(), 2);
}

// Signals all through the exchange: reads and a write that has to wait for
// the window again and again still complete.
TEST_P(NetworkFaults, SignalsDoNotCutTheExchange) {
    constexpr size_t kHuge = 256 * 1024;
    std::atomic<int> count{0};
    std::atomic<size_t> biggest{0};
    const bool framing = mbap();
    TcpPeer peer(
        [&](TcpPeer& p, int conn) {
            serveRequests(p, conn, count, [&](int c, int, const Bytes& first) {
                Bytes req = first;
                while (!framing && req.size() > 8 && req.size() < kHuge) {
                    Bytes more = p.request(c, 200);
                    if (more.empty()) break;
                    req.insert(req.end(), more.begin(), more.end());
                }
                if (req.size() > biggest) biggest = req.size();
                const uint16_t at = requestAddress(framing, req);
                p.send(c, replyTo(framing, req, 1, twoRegisters(at, at)));
            });
        },
        false, 1);
    ASSERT_EQ(init_comm(address(mbap(), peer.port()).c_str(), 9600, 0), 0);
    const int small = 4096;
    ASSERT_EQ(
        setsockopt(libraryConnection(peer.port()), SOL_SOCKET, SO_SNDBUF, &small, sizeof small), 0);
    SetTout(3000);
    Interrupter signals(200);
    for (uint16_t at = 1; at <= 20; ++at) {
        uint16_t regs[2] = {};
        ASSERT_EQ(invoke_modb(1, 3, at, 2, regs), 0) << at;
        EXPECT_EQ(regs[1], at);
    }
    if (!framing) {
        Bytes huge(kHuge, 0x00);
        huge[0] = 1;
        huge[1] = 3;
        uint8_t response[256];
        EXPECT_EQ(Send_And_Receive(int32_t(huge.size()), huge.data(), response), 9);
        EXPECT_EQ(biggest, kHuge) << "the request went out whole";
    }
}

// Reconnecting is bounded by the connect alone: the name was resolved when
// the port opened.
TEST_P(NetworkFaults, TheNameIsResolvedOnceWhenThePortOpens) {
    TcpPeer peer([&](TcpPeer& p, int conn) { // one answer a connection
        Bytes req = p.request(conn);
        p.send(conn, replyTo(mbap(), req, 1, twoRegisters(1, 2)));
        p.pause(20);
    });
    const std::string name =
        std::string(mbap() ? "tcp://" : "rtu+tcp://") + "localhost:" + std::to_string(peer.port());
    resolutions = 0;
    ASSERT_EQ(init_comm(name.c_str(), 9600, 0), 0);
    SetTout(200);
    uint16_t regs[2] = {};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(invoke_modb(1, 3, 0, 2, regs), 0);
        TcpPeer::pause(40); // the peer has closed that connection
    }
    EXPECT_EQ(peer.connections(), 3);
    EXPECT_EQ(resolutions, 1);
}

INSTANTIATE_TEST_SUITE_P(Framing, NetworkFaults, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "ModbusTcp" : "RtuOverTcp"; });
