// Interoperability with an independent Modbus stack: libmodbus serves its
// tables as an RTU slave on one pseudo-terminal, the library talks on another,
// and a relay thread joins the two lines.
#include "link_fixture.h"

#include <fcntl.h>
#include <modbus/modbus.h>
#include <poll.h>
#include <termios.h>

#include "interop_tables.h"

using namespace vltest;

namespace {

using Pty = RawPty;

class InteropTest : public ::testing::Test {
protected:
    void SetUp() override {
        releasePort();
        SetTout(400);
        ctx = modbus_new_rtu(peer.path.c_str(), 115200, 'N', 8, 1);
        ASSERT_NE(ctx, nullptr);
        modbus_set_slave(ctx, 1);
        ASSERT_EQ(modbus_connect(ctx), 0) << modbus_strerror(errno);
        map = modbus_mapping_new(64, 64, 64, 64);
        ASSERT_NE(map, nullptr);
        server = std::thread([this] { serve(); });
        relay = std::thread([this] { pump(); });
        ASSERT_EQ(init_comm(ours.path.c_str(), 115200, 0), 0);
    }
    void TearDown() override {
        releasePort();
        stop = true;
        if (server.joinable()) server.join();
        if (relay.joinable()) relay.join();
        if (ctx) {
            modbus_close(ctx);
            modbus_free(ctx);
        }
        if (map) modbus_mapping_free(map);
    }

    void serve() {
        uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
        while (!stop) {
            struct pollfd p = {modbus_get_socket(ctx), POLLIN, 0};
            if (poll(&p, 1, 10) <= 0) continue;
            int rc = modbus_receive(ctx, query);
            if (rc > 0) modbus_reply(ctx, query, rc, map);
        }
    }

    void pump() {
        uint8_t buf[512];
        while (!stop) {
            struct pollfd p[2] = {{ours.master, POLLIN, 0}, {peer.master, POLLIN, 0}};
            if (poll(p, 2, 10) <= 0) continue;
            for (int i = 0; i < 2; i++) {
                if (!(p[i].revents & POLLIN)) continue;
                ssize_t n = read(p[i].fd, buf, sizeof buf);
                if (n > 0 && write(p[1 - i].fd, buf, static_cast<size_t>(n)) != n)
                    ADD_FAILURE() << "relay lost bytes";
            }
        }
    }

    Pty ours, peer;
    modbus_t* ctx = nullptr;
    modbus_mapping_t* map = nullptr;
    std::atomic<bool> stop{false};
    std::thread server, relay;
};

} // namespace

TEST_F(InteropTest, ReadsMatchThePeersTables) {
    expectReadsMatchTables(map);
}

TEST_F(InteropTest, WritesLandInThePeersTables) {
    expectWritesLandInTables(map);
}

TEST_F(InteropTest, PeerExceptionsArriveAsTheirCodes) {
    expectPeerExceptions();
    // Another station's request is ignored by the peer.
    SetTout(50);
    uint16_t regs[1] = {};
    EXPECT_EQ(invoke_modb(9, 3, 0, 1, regs), 14);
}
