// Request frames for driving the register model directly, as a master would.
#pragma once

#include "core/Module.h"

#include <cstdint>
#include <vector>

namespace qmt::sim::test {

using Bytes = std::vector<uint8_t>;

inline Bytes withCrc(Bytes f) {
    appendCrc(f);
    return f;
}

inline Bytes readReq(uint8_t station, uint16_t addr, uint16_t count, uint8_t fn = 3) {
    return withCrc(
        {station, fn, uint8_t(addr >> 8), uint8_t(addr), uint8_t(count >> 8), uint8_t(count)});
}

inline Bytes writeReq(uint8_t station, uint16_t addr, const std::vector<uint16_t>& values) {
    Bytes f{station,
            16,
            uint8_t(addr >> 8),
            uint8_t(addr),
            0,
            uint8_t(values.size()),
            uint8_t(2 * values.size())};
    for (uint16_t v : values) {
        f.push_back(uint8_t(v >> 8));
        f.push_back(uint8_t(v & 0xFF));
    }
    return withCrc(f);
}

} // namespace qmt::sim::test
