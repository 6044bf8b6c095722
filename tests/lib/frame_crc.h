// The Modbus RTU CRC, written out independently of the library so that tests
// and the benchmark check its frames against a reference of their own.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vltest {

inline uint16_t crc16(const uint8_t* p, size_t n) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < n; i++) {
        crc ^= p[i];
        for (int b = 0; b < 8; b++)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

} // namespace vltest
