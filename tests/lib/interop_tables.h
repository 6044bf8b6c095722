// The read and write table both interoperability tests run against a
// libmodbus peer: over the serial line and over TCP the library must see and
// change the peer's tables the same way.
#pragma once

#include <gtest/gtest.h>
#include <modbus/modbus.h>

#include <cstdint>

#include "vornlink.h"

namespace vltest {

// Fills the peer's four tables, then reads them back with functions 1 to 4.
inline void expectReadsMatchTables(modbus_mapping_t* map) {
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

// Writes with functions 5, 6, 15 and 16 and looks in the peer's tables.
inline void expectWritesLandInTables(modbus_mapping_t* map) {
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

// Requests past the peer's 64-entry tables come back as its exception code.
inline void expectPeerExceptions() {
    uint16_t regs[8] = {};
    EXPECT_EQ(invoke_modb(1, 3, 60, 8, regs), MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS);
    EXPECT_EQ(invoke_modb(1, 6, 200, 1, regs), MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS);
    EXPECT_EQ(invoke_modb(1, 16, 62, 4, regs), MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS);
    uint8_t bits[2] = {};
    EXPECT_EQ(invoke_modb(1, 2, 60, 10, bits), MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS);
}

} // namespace vltest
