// Internals shared by the register model and its live behaviour.
#pragma once

#include <cmath>
#include <cstdint>

namespace qmt::sim::detail {

// Nominal transfer of the analog front end.
inline constexpr double kCountsPerMv = 0.1779;
inline constexpr double kCountsPerUa = 0.0771;
inline constexpr int kDacMax = 16383;
inline constexpr double kCycle = 0.002;  // module cycle, the unit of Ti and Ts
inline constexpr double kPlantTau = 1.0; // time constant of the first simulated plant, s
inline constexpr double kTwoPi = 6.283185307179586;
inline constexpr uint16_t kCurrentMode = 1; // mode words: 1 current, 2 voltage

inline int16_t s16(uint16_t v) {
    return static_cast<int16_t>(v);
}

inline int16_t clampS16(double v) {
    if (v > 32767) return 32767;
    if (v < -32768) return -32768;
    return static_cast<int16_t>(v);
}

// gain of a coefficient block (16.16, low word first)
inline double blockGain(const uint16_t* image, uint16_t block) {
    return static_cast<int32_t>(static_cast<uint32_t>(image[block]) |
                                (static_cast<uint32_t>(image[block + 1]) << 16)) /
           65536.0;
}

// a coefficient block applied to v
inline double applyBlock(const uint16_t* image, uint16_t block, double v) {
    return std::trunc(blockGain(image, block) * v) + s16(image[block + 2]);
}

} // namespace qmt::sim::detail
