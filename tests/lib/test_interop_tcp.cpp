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

#include "interop_tables.h"
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
    expectReadsMatchTables(map);
}

TEST_F(TcpInteropTest, WritesLandInThePeersTables) {
    expectWritesLandInTables(map);
}

TEST_F(TcpInteropTest, PeerExceptionsArriveAsTheirCodes) {
    expectPeerExceptions();
}
