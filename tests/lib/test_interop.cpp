// Interoperability with an independent Modbus stack: libmodbus serves its
// tables as an RTU slave on one pseudo-terminal, the library talks on another,
// and a relay thread joins the two lines.
#include "link_fixture.h"

#include <fcntl.h>
#include <modbus/modbus.h>
#include <poll.h>
#include <termios.h>

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
    const uint16_t values[7] = {0x0001, 0x1234, 0xFFFF, 0x8000, 0x00FF, 0x7F00, 42};
    for (int k = 0; k < 7; k++) {
        map->tab_registers[10 + k] = values[k];
        map->tab_input_registers[20 + k] = static_cast<uint16_t>(~values[k]);
    }
    for (int k = 0; k < 19; k++) {
        map->tab_bits[3 + k] = (k % 3 == 0);
        map->tab_input_bits[5 + k] = (k % 2 == 1);
    }

    uint16_t regs[7] = {};
    ASSERT_EQ(invoke_modb(1, 3, 10, 7, regs), 0);
    for (int k = 0; k < 7; k++)
        EXPECT_EQ(regs[k], values[k]) << k;
    ASSERT_EQ(invoke_modb(1, 4, 20, 7, regs), 0);
    for (int k = 0; k < 7; k++)
        EXPECT_EQ(regs[k], static_cast<uint16_t>(~values[k])) << k;

    uint8_t bits[3] = {};
    ASSERT_EQ(invoke_modb(1, 1, 3, 19, bits), 0);
    for (int k = 0; k < 19; k++)
        EXPECT_EQ((bits[k / 8] >> (k % 8)) & 1, k % 3 == 0) << k;
    ASSERT_EQ(invoke_modb(1, 2, 5, 19, bits), 0);
    for (int k = 0; k < 19; k++)
        EXPECT_EQ((bits[k / 8] >> (k % 8)) & 1, k % 2 == 1) << k;
}

TEST_F(InteropTest, WritesLandInThePeersTables) {
    uint8_t on = 1, off = 0;
    ASSERT_EQ(invoke_modb(1, 5, 7, 0, &on), 0);
    EXPECT_EQ(map->tab_bits[7], 1);
    ASSERT_EQ(invoke_modb(1, 5, 7, 0, &off), 0);
    EXPECT_EQ(map->tab_bits[7], 0);

    uint16_t value = 0xBEEF;
    ASSERT_EQ(invoke_modb(1, 6, 33, 1, &value), 0);
    EXPECT_EQ(map->tab_registers[33], 0xBEEF);

    const uint8_t pattern[2] = {0xA5, 0x02}; // 10 coils: 1,0,1,0,0,1,0,1,0,1
    ASSERT_EQ(invoke_modb(1, 15, 40, 10, const_cast<uint8_t*>(pattern)), 0);
    for (int k = 0; k < 10; k++)
        EXPECT_EQ(map->tab_bits[40 + k], (pattern[k / 8] >> (k % 8)) & 1) << k;

    uint16_t block[5] = {1, 0x0203, 0xFFFE, 0x8001, 0};
    ASSERT_EQ(invoke_modb(1, 16, 50, 5, block), 0);
    for (int k = 0; k < 5; k++)
        EXPECT_EQ(map->tab_registers[50 + k], block[k]) << k;
}

TEST_F(InteropTest, PeerExceptionsArriveAsTheirCodes) {
    uint16_t regs[8] = {};
    EXPECT_EQ(invoke_modb(1, 3, 60, 8, regs), MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS);
    EXPECT_EQ(invoke_modb(1, 6, 200, 1, regs), MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS);
    EXPECT_EQ(invoke_modb(1, 16, 62, 4, regs), MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS);
    uint8_t bits[2] = {};
    EXPECT_EQ(invoke_modb(1, 2, 60, 10, bits), MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS);
    // Another station's request is ignored by the peer.
    SetTout(50);
    EXPECT_EQ(invoke_modb(9, 3, 0, 1, regs), 14);
}
