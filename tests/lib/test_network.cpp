// Network ports against scripted gateways on loopback: the framing of both
// kinds, late and cut replies, dropped connections, silent and absent peers.
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "net_frames.h"
#include "vornlink.h"

using namespace vltest;

namespace {

class NetworkPort : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { SetTout(400); }
    void TearDown() override {
        releasePort();
        SetTout(400);
    }
    bool mbap() const { return GetParam(); }
    int32_t readTwo(uint16_t* regs) { return invoke_modb(1, 3, 10, 2, regs); }
    // A peer that answers the first request with two registers, then keeps
    // quiet; the request lands in seen.
    TcpPeer::Script answersTwo(Bytes& seen, uint16_t a, uint16_t b) const {
        const bool framing = mbap();
        return [&seen, framing, a, b](TcpPeer& p, int conn) {
            seen = p.request(conn);
            p.send(conn, replyTo(framing, seen, 1, twoRegisters(a, b)));
            p.stayQuiet(conn);
        };
    }
};

} // namespace

TEST_P(NetworkPort, RequestsTravelInTheirFraming) {
    Bytes seen;
    TcpPeer peer(answersTwo(seen, 0x1234, 0xBEEF));
    ASSERT_EQ(init_comm(address(mbap(), peer.port()).c_str(), 19200, 2), 0);
    uint16_t regs[2] = {};
    ASSERT_EQ(readTwo(regs), 0);
    EXPECT_EQ(regs[0], 0x1234);
    EXPECT_EQ(regs[1], 0xBEEF);
    const Bytes rtu = withCrc({1, 3, 0, 10, 0, 2});
    if (mbap()) {
        ASSERT_EQ(seen.size(), 12u);
        EXPECT_EQ(Bytes(seen.begin() + 2, seen.end()), (Bytes{0, 0, 0, 6, 1, 3, 0, 10, 0, 2}));
    } else {
        EXPECT_EQ(seen, rtu);
    }
}

// The raised priority is for the serial line's timing; behind a gateway the
// caller keeps its own, even where real-time priority would be granted.
TEST_P(NetworkPort, AnExchangeRunsAtTheCallersPriority) {
    const pid_t caller = gettid();
    int policyDuring = -1, niceDuring = 99;
    TcpPeer peer([&](TcpPeer& p, int conn) {
        const Bytes seen = p.request(conn);
        policyDuring = sched_getscheduler(caller);
        niceDuring = getpriority(PRIO_PROCESS, static_cast<id_t>(caller));
        p.send(conn, replyTo(mbap(), seen, 1, twoRegisters(1, 2)));
        p.stayQuiet(conn);
    });
    ASSERT_EQ(init_comm(address(mbap(), peer.port()).c_str(), 19200, 2), 0);
    uint16_t regs[2] = {};
    ASSERT_EQ(readTwo(regs), 0);
    EXPECT_EQ(policyDuring, SCHED_OTHER);
    EXPECT_EQ(niceDuring, 0);
}

// A pause longer than the serial line's 55 ms silence inside a reply: over the
// network only the frame's own length ends it.
TEST_P(NetworkPort, SplitRepliesAreJoined) {
    TcpPeer peer([&](TcpPeer& p, int conn) {
        Bytes reply = replyTo(mbap(), p.request(conn), 1, twoRegisters(7, 8));
        p.send(conn, Bytes(reply.begin(), reply.begin() + 3));
        p.pause(80);
        p.send(conn, Bytes(reply.begin() + 3, reply.end() - 1));
        p.pause(80);
        p.send(conn, Bytes(reply.end() - 1, reply.end()));
        p.stayQuiet(conn);
    });
    ASSERT_EQ(init_comm(address(mbap(), peer.port()).c_str(), 9600, 0), 0);
    uint16_t regs[2] = {};
    ASSERT_EQ(readTwo(regs), 0);
    EXPECT_EQ(regs[1], 8);
}

TEST_P(NetworkPort, ADroppedConnectionIsMadeAgainAtTheNextRequest) {
    TcpPeer peer([&](TcpPeer& p, int conn) {
        Bytes req = p.request(conn);
        Bytes reply = replyTo(mbap(), req, 1, twoRegisters(5, 6));
        if (p.connections() == 1) { // cut in the middle of the reply
            p.send(conn, Bytes(reply.begin(), reply.begin() + 5));
            p.pause(20);
            return;
        }
        p.send(conn, reply);
        p.stayQuiet(conn);
    });
    ASSERT_EQ(init_comm(address(mbap(), peer.port()).c_str(), 9600, 0), 0);
    uint16_t regs[2] = {};
    EXPECT_EQ(readTwo(regs), 14);
    ASSERT_EQ(readTwo(regs), 0);
    EXPECT_EQ(regs[1], 6);
    EXPECT_EQ(peer.connections(), 2);
}

TEST_P(NetworkPort, AGatewayThatNeverAnswersCostsTheTimeOut) {
    TcpPeer peer([](TcpPeer& p, int conn) { p.stayQuiet(conn); });
    ASSERT_EQ(init_comm(address(mbap(), peer.port()).c_str(), 9600, 0), 0);
    SetTout(100);
    uint16_t regs[2] = {};
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(readTwo(regs), 14);
    EXPECT_LT(msSince(start), 2000) << "no hang";
    uint16_t value = 1;
    EXPECT_EQ(invoke_modb(1, 6, 10, 1, &value), 14);
    EXPECT_EQ(peer.connections(), 1);
}

// The reply checks of the serial line hold behind a gateway too.
TEST_P(NetworkPort, RepliesAreCheckedAsOnTheLine) {
    enum Framing { Both, RtuOnly, MbapOnly };
    struct Case {
        const char* what;
        uint8_t unit;
        Bytes pdu;
        Framing framing;
        uint8_t function;
        int32_t status;
        int lengthShift;
    } cases[] = {
        {"exception", 1, {0x83, 2}, Both, 3, 2, 0},
        {"another station to function 16", 5, {16, 0, 10, 0, 2}, Both, 16, 19, 0},
        {"echoed quantity differs", 1, {16, 0, 10, 0, 3}, Both, 16, 23, 0},
        {"byte count differs", 1, {3, 2, 0, 1}, Both, 3, 23, 0},
        {"another station to function 3", 7, twoRegisters(1, 2), Both, 3, 14, 0},
        {"bad CRC", 1, twoRegisters(1, 2), RtuOnly, 3, 17, 0},
        // A gateway's word that the module behind it is silent.
        {"gateway path unavailable", 1, {0x83, 0x0A}, Both, 3, 14, 0},
        {"gateway target failed to respond", 1, {0x90, 0x0B}, Both, 16, 14, 0},
        // No CRC travels on Modbus TCP: a length that disagrees is malformed.
        {"length field too long", 1, twoRegisters(1, 2), MbapOnly, 3, 21, 2},
        {"length field too short", 1, twoRegisters(1, 2), MbapOnly, 3, 21, -2},
        {"PDU longer than its byte count", 1, {3, 2, 0, 1, 0, 2}, MbapOnly, 3, 21, 0},
        {"length field short of the echo", 1, {16, 0, 10, 0, 2}, MbapOnly, 16, 21, -1},
    };
    for (const Case& c : cases) {
        if ((c.framing == RtuOnly && mbap()) || (c.framing == MbapOnly && !mbap())) continue;
        SCOPED_TRACE(c.what);
        TcpPeer peer([&](TcpPeer& p, int conn) {
            Bytes reply = replyTo(mbap(), p.request(conn), c.unit, c.pdu, 0, c.lengthShift);
            if (c.status == 17) reply.back() ^= 0x5A;
            p.send(conn, reply);
            p.stayQuiet(conn);
        });
        ASSERT_EQ(init_comm(address(mbap(), peer.port()).c_str(), 9600, 0), 0);
        SetTout(100);
        uint16_t regs[2] = {};
        EXPECT_EQ(invoke_modb(1, c.function, 10, 2, regs), c.status);
        SetTout(400);
        releasePort();
    }
}

TEST_P(NetworkPort, TheSearchDoesNotApply) {
    TcpPeer peer([&](TcpPeer& p, int conn) {
        Bytes req = p.request(conn, 300);
        if (!req.empty()) p.send(conn, replyTo(mbap(), req, 1, twoRegisters(3, 4)));
        p.stayQuiet(conn);
    });
    const std::string name = address(mbap(), peer.port());
    ASSERT_EQ(init_comm(name.c_str(), 9600, 0), 0);
    uint32_t baud = 0;
    uint8_t parity = 9;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(EnumParameters(name.c_str(), 1, 2, 1, &baud, &parity), 14);
    EXPECT_LT(msSince(start), 300) << "no probe waited for";
    EXPECT_EQ(baud, 0u);
    EXPECT_EQ(parity, 9);
    // The port is left as it was: the one request the peer sees is this read.
    uint16_t regs[2] = {};
    ASSERT_EQ(readTwo(regs), 0);
    EXPECT_EQ(regs[1], 4);
}

TEST_P(NetworkPort, IPv6Loopback) {
    TcpPeer peer(
        [&](TcpPeer& p, int conn) {
            p.send(conn, replyTo(mbap(), p.request(conn), 1, twoRegisters(6, 9)));
            p.stayQuiet(conn);
        },
        true);
    ASSERT_EQ(init_comm(address(mbap(), peer.port(), true).c_str(), 9600, 0), 0);
    uint16_t regs[2] = {};
    ASSERT_EQ(readTwo(regs), 0);
    EXPECT_EQ(regs[1], 9);
}

// The raw exchange carries an RTU frame both ways, whatever travels between.
TEST_P(NetworkPort, RawExchangeSpeaksRtuFrames) {
    Bytes seen;
    TcpPeer peer(answersTwo(seen, 0x0A0B, 0x0C0D));
    ASSERT_EQ(init_comm(address(mbap(), peer.port()).c_str(), 9600, 0), 0);
    const Bytes request = withCrc({1, 3, 0, 10, 0, 2});
    uint8_t response[256] = {};
    ASSERT_EQ(Send_And_Receive(int32_t(request.size()), request.data(), response), 9);
    EXPECT_EQ(Bytes(response, response + 9), withCrc({1, 3, 4, 0x0A, 0x0B, 0x0C, 0x0D}));
    EXPECT_EQ(seen.size(), mbap() ? 12u : 8u);
}

INSTANTIATE_TEST_SUITE_P(Framing, NetworkPort, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "ModbusTcp" : "RtuOverTcp"; });

TEST(NetworkPortOnly, OnlyRepliesToThisTransactionCount) {
    // Two answers come back: an earlier transaction's, then this one's.
    TcpPeer peer([&](TcpPeer& p, int conn) {
        Bytes req = p.request(conn);
        p.send(conn, replyTo(true, req, 1, twoRegisters(0xDEAD, 0xDEAD), -1));
        p.send(conn, replyTo(true, req, 1, twoRegisters(0x0102, 0x0304)));
        req = p.request(conn);
        p.send(conn, replyTo(true, req, 1, twoRegisters(0xDEAD, 0xDEAD), -1));
        p.stayQuiet(conn);
    });
    ASSERT_EQ(init_comm(address(true, peer.port()).c_str(), 9600, 0), 0);
    SetTout(100);
    uint16_t regs[2] = {};
    ASSERT_EQ(invoke_modb(1, 3, 10, 2, regs), 0);
    EXPECT_EQ(regs[0], 0x0102);
    EXPECT_EQ(invoke_modb(1, 3, 10, 2, regs), 14) << "an earlier transaction's answer only";
    SetTout(400);
    releasePort();
}

TEST(NetworkPortOnly, NothingListeningFailsToOpenWithoutHanging) {
    int port;
    {
        TcpPeer gone([](TcpPeer&, int) {});
        port = gone.port();
    } // closed again: nothing listens there now
    SetTout(200);
    for (bool mbap : {false, true}) {
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(init_comm(address(mbap, port).c_str(), 9600, 0), 11);
        EXPECT_LT(msSince(start), 2000);
        uint16_t regs[1];
        EXPECT_EQ(invoke_modb(1, 3, 0, 1, regs), 14);
        EXPECT_EQ(SetTout(200), 0) << "no port held";
    }
    SetTout(400);
}

TEST(NetworkPortOnly, MalformedAddressesDoNotOpen) {
    for (const char* name :
         {"tcp://", "tcp://127.0.0.1", "tcp://127.0.0.1:", "tcp://127.0.0.1:0",
          "tcp://127.0.0.1:65536", "tcp://127.0.0.1:50x2", "tcp://::1:502", "tcp://[::1]502",
          "tcp://[::1", "rtu+tcp://:502", "rtu+tcp://[]:502", "tcp://[127.0.0.1]:502"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(init_comm(name, 9600, 0), 11);
    }
}
