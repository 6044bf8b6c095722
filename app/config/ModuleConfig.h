#pragma once
// The program's one copy of the module's configuration: plain 16-bit words,
// each the image of one holding register in the register's own encoding.

#include <array>
#include <cstdint>

namespace qmt {

// Image of the 14 registers 264 + 16n .. 277 + 16n; word names in reg::pid.
struct PidBlock {
    std::array<uint16_t, 14> w{};
};

struct ModuleConfig {
    std::array<PidBlock, 3> pid{};
    uint16_t SwOut = 0; // register 312, s16 source code
    // 0-2 input Ti, 3 DAC slew, 4 DAC initial value, 5-7 input modes, 8 DAC mode,
    // 9-13 PWM1, 14-18 PWM2, 19 module mode.
    std::array<uint16_t, 20> io{};
};

namespace io {
constexpr int InputTi0 = 0, DacVi = 3, DacValue = 4, InputMode0 = 5, DacMode = 8, Pwm1 = 9,
              Pwm2 = 14, ModuleMode = 19;
} // namespace io

// Program-wide; zero until the main window is built.
extern ModuleConfig Config;

// Every word to its value after "Новый"; io word 19 keeps its value.
void ResetConfig(ModuleConfig& config = Config);

} // namespace qmt
