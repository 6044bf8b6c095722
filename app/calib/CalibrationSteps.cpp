// The calibration points of both module types and what the engineer is told at each.
#include "calib/CalibrationSteps.h"

namespace qmt::calib {
namespace {

using namespace qmt::reg;

constexpr int TypedTolerance = 200;  // µA or mV off an external meter
constexpr int ReadingTolerance = 80; // raw input counts

// Output-and-inputs: the raw output codes measured, and what the meter should show.
constexpr int32_t CurrentLowCode = 328, CurrentHighCode = 15599;
constexpr int32_t CurrentLowUa = 421, CurrentHighUa = 20000;
constexpr int32_t VoltageLowCode = 328, VoltageHighCode = 16056;
constexpr int32_t VoltageMagnitudeMv = 9830;
// ... then the calibrated output into each input, and the raw readings expected.
constexpr int32_t OutputVoltageMv = 9980;
constexpr int32_t VoltageLowReading = 272, VoltageHighReading = 3824;
constexpr int32_t OutputCurrentUa = 19960;
constexpr int32_t CurrentPositiveReading = 3587, CurrentNegativeReading = 509;

// Inputs-only: reference sources on each input, and the raw readings expected.
constexpr int32_t SourceMv = 10000, SourceUa = 20000;
constexpr int32_t SourceVoltageHigh = 3827, SourceVoltageLow = 269;
constexpr int32_t SourceCurrentHigh = 3590, SourceCurrentLow = 506;

constexpr Step blank(const char* instruction, const char* tip, Source source) {
    return {instruction, tip, source, 0, NoMode, 0, {}, 0, false, NoBlock, false, NoMode};
}

// A value typed off the meter while the output puts out the raw code; the
// block maps the value back to that code.
constexpr Step typed(const char* instruction, const char* tip, int32_t code, int32_t expected,
                     Address block, bool eitherSign = false) {
    Step s = blank(instruction, tip, Source::Typed);
    s.pointCount = 1;
    s.points[0] = {code, expected, code};
    s.tolerance = TypedTolerance;
    s.eitherSign = eitherSign;
    s.block = block;
    return s;
}

// The calibrated output's voltage into an input, first negative then positive.
constexpr Step voltageInto(const char* instruction, const char* tip, int input) {
    Step s = blank(instruction, tip, Source::Reading);
    s.input = input;
    s.pointCount = 2;
    s.points[0] = {-OutputVoltageMv, VoltageLowReading, -OutputVoltageMv};
    s.points[1] = {OutputVoltageMv, VoltageHighReading, OutputVoltageMv};
    s.tolerance = ReadingTolerance;
    s.block = InputVoltageCoefficients(input);
    return s;
}

// The calibrated output's current into an input wired with the polarity given.
constexpr Step currentInto(const char* instruction, const char* tip, int input, int polarity) {
    Step s = blank(instruction, tip, Source::Reading);
    s.input = input;
    s.modeBefore = ModeCurrent;
    s.pointCount = 1;
    s.points[0] = {OutputCurrentUa, polarity > 0 ? CurrentPositiveReading : CurrentNegativeReading,
                   polarity * OutputCurrentUa};
    s.tolerance = ReadingTolerance;
    s.block = InputCurrentCoefficients(input);
    return s;
}

// A reference source of x (mV or µA) on an input.
constexpr Step applied(const char* instruction, const char* tip, int input, int32_t x,
                       int32_t expected, Address block) {
    Step s = blank(instruction, tip, Source::Reading);
    s.input = input;
    s.pointCount = 1;
    s.points[0] = {NoOutput, expected, x};
    s.tolerance = ReadingTolerance;
    s.block = block;
    return s;
}

constexpr Step writingBlocks(Step s, uint16_t modeAfter = NoMode) {
    s.writesBlocks = true;
    s.modeAfter = modeAfter;
    return s;
}

constexpr Step closing() {
    return blank("", "", Source::None); // shows FinishedText
}

constexpr Step voltage(const char* instruction, const char* tip, int input, int sign) {
    return applied(instruction, tip, input, sign * SourceMv,
                   sign > 0 ? SourceVoltageHigh : SourceVoltageLow,
                   InputVoltageCoefficients(input));
}

constexpr Step current(const char* instruction, const char* tip, int input, int sign) {
    return applied(instruction, tip, input, sign * SourceUa,
                   sign > 0 ? SourceCurrentHigh : SourceCurrentLow,
                   InputCurrentCoefficients(input));
}

constexpr const char* Jumpers = "Установите перемычки XK3,XK5,XK7";
constexpr const char* MoveJumpers = "Переставьте перемычки XK3,XK5,XK7 на XK4,XK6,XK8";
constexpr const char* TypeCurrent = "Введите измеренное значение тока(мкА)";
constexpr const char* TypeVoltage = "Введите измеренное значение напряжения(мВ)";

// The output's own blocks come first (steps 0-3), then the inputs through it.
constexpr Step OutputAndInputSteps[] = {
    typed("Введите ток на выходе (клеммы 5-\"+\" 6-\"-\")", TypeCurrent, CurrentLowCode,
          CurrentLowUa, OutputCurrentCoefficients),
    typed("Введите ток на выходе", TypeCurrent, CurrentHighCode, CurrentHighUa,
          OutputCurrentCoefficients),
    // The meter may be wired either way round: code 328 is the negative end of
    // the output and code 16056 the positive one, whatever the signs typed.
    typed("Введите напряжение на выходе (клеммы 7-\"+\" 8-\"-\")", TypeVoltage, VoltageLowCode,
          -VoltageMagnitudeMv, OutputVoltageCoefficients, true),
    writingBlocks(typed("Введите напряжение на выходе", TypeVoltage, VoltageHighCode,
                        VoltageMagnitudeMv, OutputVoltageCoefficients, true),
                  ModeVoltage),
    voltageInto("Соедините выход напряжения со входом 1 (клеммы 9-\"+\" 10-\"-\")", Jumpers, 0),
    voltageInto("Соедините выход напряжения со входом 2 (клеммы 13-\"+\" 14-\"-\")", "", 1),
    voltageInto("Соедините выход напряжения со входом 3 (клеммы 15-\"+\" 16-\"-\")", "", 2),
    currentInto("Соедините выход тока со входом 1 в положительной полярности", MoveJumpers, 0, 1),
    currentInto("Соедините выход тока со входом 1 в отрицательной полярности", "", 0, -1),
    currentInto("Соедините выход тока со входом 2 в положительной полярности", "", 1, 1),
    currentInto("Соедините выход тока со входом 2 в отрицательной полярности", "", 1, -1),
    currentInto("Соедините выход тока со входом 3 в положительной полярности", "", 2, 1),
    writingBlocks(
        currentInto("Соедините выход тока со входом 3 в отрицательной полярности", "", 2, -1)),
    closing(),
};

constexpr Step InputOnlySteps[] = {
    voltage("Подайте на вход 1 (клеммы 9-\"+\" 10-\"-\") напряжение +10 В", Jumpers, 0, 1),
    voltage("Подайте на вход 1 (клеммы 9-\"+\" 10-\"-\") напряжение -10 В", "", 0, -1),
    voltage("Подайте на вход 2 (клеммы 13-\"+\" 14-\"-\") напряжение +10 В", "", 1, 1),
    voltage("Подайте на вход 2 (клеммы 13-\"+\" 14-\"-\") напряжение -10 В", "", 1, -1),
    voltage("Подайте на вход 3 (клеммы 15-\"+\" 16-\"-\") напряжение +10 В", "", 2, 1),
    voltage("Подайте на вход 3 (клеммы 15-\"+\" 16-\"-\") напряжение -10 В", "", 2, -1),
    current("Подайте на вход 1 (клеммы 9-\"+\" 10-\"-\") ток +20 мА", MoveJumpers, 0, 1),
    current("Подайте на вход 1 (клеммы 9-\"+\" 10-\"-\") ток -20 мА", "", 0, -1),
    current("Подайте на вход 2 (клеммы 13-\"+\" 14-\"-\") ток +20 мА", "", 1, 1),
    current("Подайте на вход 2 (клеммы 13-\"+\" 14-\"-\") ток -20 мА", "", 1, -1),
    current("Подайте на вход 3 (клеммы 15-\"+\" 16-\"-\") ток +20 мА", "", 2, 1),
    writingBlocks(current("Подайте на вход 3 (клеммы 15-\"+\" 16-\"-\") ток -20 мА", "", 2, -1)),
    closing(),
};

template <int N> constexpr int count(const Step (&)[N]) {
    return N;
}

} // namespace

// Current and voltage coefficients of each.
const Sequence OutputAndInputs = {OutputAndInputSteps, count(OutputAndInputSteps), true,
                                  "выход, входы 1–3"};
const Sequence InputsOnly = {InputOnlySteps, count(InputOnlySteps), false, "входы 1–3"};

// The last step comes only once every coefficient block is written.
const char* const FinishedText = "Калибровка завершена. Нажмите «Финиш».";

} // namespace qmt::calib
