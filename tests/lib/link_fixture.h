// Shared fixture: the library holds the slave side of a fresh scripted module.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "pty_module.h"
#include "vornlink.h"

namespace vltest {

constexpr uint8_t kCanary = 0xA5;

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetTout(400);
        ASSERT_EQ(init_comm(module.path().c_str(), 115200, 0), 0);
    }
    void TearDown() override {
        releasePort();
        SetTout(400);
    }

    // One transaction against a module that answers with reply (silent when
    // empty); the data buffer is pre-filled with canary bytes.
    int32_t call(uint8_t station, uint8_t function, uint16_t address, uint16_t count, uint8_t* data,
                 const Bytes& reply) {
        if (reply.empty()) {
            module.silent();
            SetTout(30);
        } else {
            module.replyBytes(reply);
        }
        int32_t status = invoke_modb(station, function, address, count, data);
        module.waitIdle();
        SetTout(400);
        return status;
    }

    PtyModule module;
};

inline double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace vltest
