// The virtual module's register map: the addresses it gives a meaning to, the
// words of a PID parameter block and of a regulator's live block, and the bits
// and codes written there.
#pragma once

#include <cstdint>

namespace qmt::sim {

// Register addresses the model gives a meaning to.
namespace reg {
constexpr uint16_t Type = 0, Serial = 1, ManufactureDate = 2, Firmware = 3;
constexpr uint16_t CoefFirst = 8; // block k at CoefFirst + 4k, 3 words each
constexpr uint16_t InputVoltageBlock = 8, OutputVoltageBlock = 20;
constexpr uint16_t InputCurrentBlock = 24, OutputCurrentBlock = 36;
constexpr uint16_t InputTi = 48, OutputSlew = 51, OutputInitial = 52, InputMode = 56;
constexpr uint16_t OutputMode = 59, ModuleMode = 60;
constexpr uint16_t CalibrationDate = 256, Address = 257, Baud = 258, Parity = 259;
constexpr uint16_t Restarts = 260;
constexpr uint16_t PidBlock = 264, PidBlockStride = 16;
constexpr uint16_t SwOut = 312, Pwm1 = 320, Pwm2 = 328;
constexpr uint16_t InputValue = 1024, OutputValue = 1027, Status = 1028;
constexpr uint16_t Live = 1040, LiveStride = 8, ResetRegister = 1064;
constexpr uint16_t PwmState = 1072, OutputControl1 = 1073, OutputControl2 = 1074;
constexpr uint16_t WriteEnable = 1912;
constexpr uint16_t WriteEnableCode = 0x6B2D;
constexpr uint16_t OutputOn = 0x5555, OutputOff = 0xAAAA;
} // namespace reg

// Words of a PID parameter block and of a regulator's live block.
namespace pid {
constexpr int InSw = 0, XsDef = 1, dXdz2 = 2, Kp = 3, Ti = 4, Td = 5, Ts = 6, Ymax = 7, Ymin = 8;
constexpr int Offset = 9, Control = 10, XfoDef = 11, OffsetIn = 12, dXdz1 = 13;
constexpr int LiveXs = 0, LiveXm = 1, LiveY = 2, LiveState = 3, LiveXfo = 4, LiveIval = 5;
constexpr uint16_t StateMax = 1, StateMin = 2, StateOverflow = 4, StateSetIntegrator = 8;
constexpr uint16_t ControlForced = 1, ControlReverse = 2, ControlDeadZone = 4;
} // namespace pid

} // namespace qmt::sim
