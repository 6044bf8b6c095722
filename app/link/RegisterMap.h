#pragma once
// Every holding register of the module the program touches. No window uses a
// bare register number; they all come from here.

#include <cstdint>

namespace qmt::reg {

using Address = uint16_t;

// Identity and service.
constexpr Address ModuleType = 0;        // u16 type code 1..8 (2 QMT-584, 8 QMT-584.1)
constexpr Address SerialNumber = 1;      // P; bits 0-10 number, 11-15 letter (1 = A)
constexpr Address ManufactureDate = 2;   // P; packed date
constexpr Address FirmwareVersion = 3;   // high byte major, low byte minor
constexpr Address CalibrationDate = 256; // packed date; 0xFFFF during a calibration
constexpr Address OwnAddress = 257;      // the module's own station address
constexpr Address OwnBaud = 258;         // baud rate / 100
constexpr Address OwnParity = 259;       // 0 none, 1 odd, 2 even
constexpr Address RestartCounter = 260;  // writing 0 clears it

// Module type codes of register 0.
constexpr uint16_t TypeQmt584 = 2;  // with analog output
constexpr uint16_t TypeQmt5841 = 8; // inputs only
// Registration number: the letter (1 = A .. 26 = Z) above an 11-bit number; the
// same word is the serial code of the module search.
constexpr int SerialLetterShift = 11;
constexpr uint16_t SerialNumberMask = 0x07FF;
constexpr uint16_t SerialCode(int letterIndex, int number) {
    return static_cast<uint16_t>((letterIndex + 1) * 2048 + number);
}
// OwnBaud holds the rate divided by this.
constexpr int BaudUnit = 100;

// The PWM registers exist from this software version on.
constexpr uint16_t FirstVersionWithPwm = 0x0200;

// Calibration coefficient blocks: gain (s32, 16 fractional bits, low word first), offset s16.
constexpr int CoefficientBlockSize = 3;
constexpr int CoefficientBlockCount = 8;
constexpr Address CoefficientBlock(int k) {
    return Address(8 + 4 * k);
} // k = 0..7
// Gain 1.0 (low word, high word) and offset 0: the identity block.
constexpr uint16_t IdentityCoefficients[CoefficientBlockSize] = {0, 1, 0};
constexpr Address InputVoltageCoefficients(int channel) {
    return Address(8 + 4 * channel);
}
constexpr Address OutputVoltageCoefficients = 20;
constexpr Address InputCurrentCoefficients(int channel) {
    return Address(24 + 4 * channel);
}
constexpr Address OutputCurrentCoefficients = 36;

// Input and output configuration (all P).
constexpr Address InputIntegrationTime(int channel) {
    return Address(48 + channel);
} // ms
constexpr Address OutputSlewRate = 51;     // µA/ms or mV/ms
constexpr Address OutputInitialValue = 52; // µA (u16) or mV (s16)
constexpr Address InputMode(int channel) {
    return Address(56 + channel);
} // 1 current, 2 voltage
constexpr Address OutputMode = 59; // 1 current, 2 voltage
constexpr Address ModuleMode = 60; // 1 independent inputs and output, 2 PID
constexpr uint16_t ModeCurrent = 1;
constexpr uint16_t ModeVoltage = 2;
constexpr uint16_t ModuleModeIndependent = 1; // independent inputs and output
constexpr uint16_t ModuleModePid = 2;         // PID controller

// PID parameter block n (0..2): 14 words, written one register per request.
constexpr int PidBlockSize = 14;
constexpr Address PidBlock(int n) {
    return Address(264 + 16 * n);
}
namespace pid {
constexpr int InSw = 0, XsDef = 1, dXdz2 = 2, Kp = 3, Ti = 4, Td = 5, Ts = 6, Ymax = 7, Ymin = 8,
              Offset = 9, PIDControl = 10, XfoDef = 11, OffsetIN = 12, dXdz1 = 13;
// PIDControl bits.
constexpr uint16_t ForcedOutput = 1u << 0, ReverseAction = 1u << 1, DeadZoneActive = 1u << 2;
} // namespace pid
constexpr Address PidWord(int n, int word) {
    return Address(PidBlock(n) + word);
}

// Output routing and PWM.
constexpr Address OutputSource = 312; // SwOut, s16 source code -1, 0..3
constexpr int PwmBlockSize = 5;       // dXdz1_pwm, dXdz2_pwm, Tpwm, Xmax, dY
constexpr Address Pwm1 = 320;
constexpr Address Pwm2 = 328;
constexpr Address PwmLast = 332; // registers 320..332 exist from FirstVersionWithPwm on
namespace pwm {
constexpr int dXdz1 = 0, dXdz2 = 1, Tpwm = 2, Xmax = 3, dY = 4;
}

// Live values and commands.
constexpr Address InputValue(int channel) {
    return Address(1024 + channel);
}
constexpr Address LinkCheck = 1024;
constexpr Address OutputValue = 1027;
constexpr Address ModuleStatus = 1028; // bit 2 FLASH failure, bit 3 parameter checksum
constexpr uint16_t StatusFlashFailure = 1u << 2, StatusChecksumError = 1u << 3;
constexpr int LiveBlockSize = 6; // Xs, Xm, Y, STATE, Xfo, Ival
constexpr Address LiveBlock(int n) {
    return Address(1040 + 8 * n);
}
namespace live {
constexpr int Xs = 0, Xm = 1, Y = 2, State = 3, Xfo = 4, Ival = 5;
constexpr uint16_t AtMaximum = 1u << 0, AtMinimum = 1u << 1, Overflow = 1u << 2,
                   SetIntegrator = 1u << 3;
} // namespace live
constexpr Address ResetRegister = 1064; // bit n resets regulator n + 1
constexpr Address PwmState = 1072;      // bits: 0 reset held, 1 discrete, 2/3 outputs inverse
namespace pwmstate {
constexpr uint16_t ResetHeld = 1u << 0, Discrete = 1u << 1, Output1 = 1u << 2, Output2 = 1u << 3;
}
constexpr Address PwmOutputControl(int output) {
    return Address(1073 + output);
} // 0, 1
constexpr uint16_t OutputOn = 0x5555;
constexpr uint16_t OutputOff = static_cast<uint16_t>(~0x5555u);

// Write-enable: this value goes to WriteEnable right before every protected write.
constexpr Address WriteEnable = 1912;
constexpr uint16_t WriteEnableCode = 0x6B2D;

// Source codes of the routing switches.
namespace source {
constexpr int16_t None = -1, Modbus = 0, Pid1 = 1, Pid2 = 2, Pid3 = 3, Fb1 = 4, Fb2 = 5, Fb3 = 6;
}

} // namespace qmt::reg
