// Network ports against scripted gateways on loopback: the framing of both
// kinds, late and cut replies, dropped connections, silent and absent peers.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "pty_module.h"
#include "tcp_peer.h"
#include "vornlink.h"

using namespace vltest;

namespace {

// The reply to a request in the peer's framing: pdu behind the request's
// transaction id (Modbus TCP), or behind the station with a CRC (RTU).
Bytes replyTo(bool mbap, const Bytes& req, uint8_t unit, const Bytes& pdu, int idShift = 0) {
    Bytes f{unit};
    f.insert(f.end(), pdu.begin(), pdu.end());
    if (!mbap) return withCrc(f);
    if (req.size() < 2) return {};
    uint16_t id = static_cast<uint16_t>((req[0] << 8 | req[1]) + idShift);
    Bytes head{static_cast<uint8_t>(id >> 8),       static_cast<uint8_t>(id),      0, 0,
               static_cast<uint8_t>(f.size() >> 8), static_cast<uint8_t>(f.size())};
    head.insert(head.end(), f.begin(), f.end());
    return head;
}

// Function 3 reply data: two registers.
Bytes twoRegisters(uint16_t a, uint16_t b) {
    return {3,
            4,
            static_cast<uint8_t>(a >> 8),
            static_cast<uint8_t>(a),
            static_cast<uint8_t>(b >> 8),
            static_cast<uint8_t>(b)};
}

std::string address(bool mbap, int port, bool v6 = false) {
    return std::string(mbap ? "tcp://" : "rtu+tcp://") + (v6 ? "[::1]:" : "127.0.0.1:") +
           std::to_string(port);
}

double msSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count();
}

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

// The answer to a request that timed out arrives late; the next request must
// get its own answer, not that one.
TEST_P(NetworkPort, LateRepliesAreNotTakenForTheNextOne) {
    TcpPeer peer([&](TcpPeer& p, int conn) {
        Bytes first = p.request(conn);
        p.pause(120);
        p.send(conn, replyTo(mbap(), first, 1, twoRegisters(1, 1)));
        p.send(conn, replyTo(mbap(), p.request(conn), 1, twoRegisters(2, 2)));
        p.stayQuiet(conn);
    });
    ASSERT_EQ(init_comm(address(mbap(), peer.port()).c_str(), 9600, 0), 0);
    SetTout(50);
    uint16_t regs[2] = {};
    EXPECT_EQ(readTwo(regs), 14);
    TcpPeer::pause(150); // the late answer is in before the next request
    SetTout(400);
    ASSERT_EQ(readTwo(regs), 0);
    EXPECT_EQ(regs[0], 2);
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
    struct Case {
        const char* what;
        uint8_t unit;
        Bytes pdu;
        bool rtuOnly;
        uint8_t function;
        int32_t status;
    } cases[] = {
        {"exception", 1, {0x83, 2}, false, 3, 2},
        {"another station to function 16", 5, {16, 0, 10, 0, 2}, false, 16, 19},
        {"echoed quantity differs", 1, {16, 0, 10, 0, 3}, false, 16, 23},
        {"byte count differs", 1, {3, 2, 0, 1}, false, 3, 23},
        {"another station to function 3", 7, twoRegisters(1, 2), false, 3, 14},
        {"bad CRC", 1, twoRegisters(1, 2), true, 3, 17},
    };
    for (const Case& c : cases) {
        if (c.rtuOnly && mbap()) continue;
        SCOPED_TRACE(c.what);
        TcpPeer peer([&](TcpPeer& p, int conn) {
            Bytes reply = replyTo(mbap(), p.request(conn), c.unit, c.pdu);
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
