// The function codes the library serves and how much of the caller's buffer
// each reads or fills, for the tests that throw arbitrary replies at it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vltest {

inline constexpr uint8_t kFunctions[] = {1, 2, 3, 4, 5, 6, 15, 16};

// Bytes of the caller's buffer that the function reads or fills.
inline size_t bufferBytes(uint8_t function, uint16_t count) {
    switch (function) {
    case 1:
    case 2:
    case 15:
        return (count + 7u) / 8;
    case 3:
    case 4:
    case 16:
        return 2u * count;
    case 5:
        return 1;
    case 6:
        return 2;
    default:
        return 0;
    }
}

} // namespace vltest
