// Interoperability over Modbus TCP: libmodbus serves its tables as a TCP
// server on loopback and the library is its client; the same read and write
// table as on the serial line.
#include <gtest/gtest.h>
#include <modbus/modbus.h>

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>

#include "pty_module.h"
#include "vornlink.h"

using namespace vltest;

namespace {

class TcpInteropTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetTout(400);
        ctx = modbus_new_tcp("127.0.0.1", 0); // the system picks a free port
        ASSERT_NE(ctx, nullptr);
        listener = modbus_tcp_listen(ctx, 1);
        ASSERT_GE(listener, 0) << modbus_strerror(errno);
        sockaddr_in a{};
        socklen_t size = sizeof a;
        ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&a), &size), 0);
        map = modbus_mapping_new(64, 64, 64, 64);
        ASSERT_NE(map, nullptr);
        server = std::thread([this] { serve(); });
        const std::string name = "tcp://127.0.0.1:" + std::to_string(ntohs(a.sin_port));
        ASSERT_EQ(init_comm(name.c_str(), 19200, 2), 0);
    }
    void TearDown() override {
        releasePort();
        stop = true;
        if (server.joinable()) server.join();
        if (listener >= 0) close(listener);
        if (ctx) {
            modbus_close(ctx);
            modbus_free(ctx);
        }
        if (map) modbus_mapping_free(map);
    }

    void serve() {
        uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
        pollfd p{listener, POLLIN, 0};
        while (!stop && poll(&p, 1, 10) <= 0) {
        }
        if (stop || modbus_tcp_accept(ctx, &listener) < 0) return;
        while (!stop) {
            pollfd c{modbus_get_socket(ctx), POLLIN, 0};
            if (poll(&c, 1, 10) <= 0) continue;
            int rc = modbus_receive(ctx, query);
            if (rc > 0) modbus_reply(ctx, query, rc, map);
            if (rc < 0 && errno != ETIMEDOUT) break;
        }
    }

    modbus_t* ctx = nullptr;
    int listener = -1;
    modbus_mapping_t* map = nullptr;
    std::atomic<bool> stop{false};
    std::thread server;
};

} // namespace

TEST_F(TcpInteropTest, ReadsMatchThePeersTables) {
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

TEST_F(TcpInteropTest, WritesLandInThePeersTables) {
    uint8_t on = 1, off = 0;
    ASSERT_EQ(invoke_modb(1, 5, 7, 0, &on), 0);
    EXPECT_EQ(map->tab_bits[7], 1);
    ASSERT_EQ(invoke_modb(1, 5, 7, 0, &off), 0);
    EXPECT_EQ(map->tab_bits[7], 0);

    uint16_t value = 0xBEEF;
    ASSERT_EQ(invoke_modb(1, 6, 33, 1, &value), 0);
    EXPECT_EQ(map->tab_registers[33], 0xBEEF);

    const uint8_t pattern[2] = {0xA5, 0x02};
    ASSERT_EQ(invoke_modb(1, 15, 40, 10, const_cast<uint8_t*>(pattern)), 0);
    for (int k = 0; k < 10; k++)
        EXPECT_EQ(map->tab_bits[40 + k], (pattern[k / 8] >> (k % 8)) & 1) << k;

    uint16_t block[5] = {1, 0x0203, 0xFFFE, 0x8001, 0};
    ASSERT_EQ(invoke_modb(1, 16, 50, 5, block), 0);
    for (int k = 0; k < 5; k++)
        EXPECT_EQ(map->tab_registers[50 + k], block[k]) << k;
}

TEST_F(TcpInteropTest, PeerExceptionsArriveAsTheirCodes) {
    uint16_t regs[8] = {};
    EXPECT_EQ(invoke_modb(1, 3, 60, 8, regs), MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS);
    EXPECT_EQ(invoke_modb(1, 6, 200, 1, regs), MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS);
    EXPECT_EQ(invoke_modb(1, 16, 62, 4, regs), MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS);
    uint8_t bits[2] = {};
    EXPECT_EQ(invoke_modb(1, 2, 60, 10, bits), MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS);
}
