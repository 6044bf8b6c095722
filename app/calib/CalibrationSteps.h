#pragma once
// The calibration wizard's steps as data, one table per module type: what the
// engineer reads, what goes to the output, what value is expected back and
// within what tolerance, and which coefficient block it feeds. The step code
// in Calibration.cpp only walks these tables, so a calibration point is
// changed here and nowhere else.

#include "link/RegisterMap.h"

#include <cstdint>
#include <limits>

namespace qmt::calib {

// Where a step's values come from when the engineer presses "Далее >>".
enum class Source : uint8_t {
    Typed,   // typed into Edit1, read off a meter on the output
    Reading, // an input's raw reading
    None,    // the closing step: nothing to take
};

constexpr int32_t NoOutput = std::numeric_limits<int32_t>::min();
constexpr reg::Address NoBlock = 0; // register 0 is the module type, never a block
constexpr uint16_t NoMode = 0;

// One value a step takes.
struct Point {
    // Written to the output before the value is taken: the raw code while the
    // engineer measures (written as the step shows), or µA / mV once the
    // output is calibrated (written, then the input settles). NoOutput: none.
    int32_t output;
    int32_t expected; // nominal value typed or read
    int32_t x;        // what the coefficient block is to make of the value
};

struct Step {
    const char* instruction;
    const char* tip;
    Source source;
    int input;           // the input read, 0..2 (Source::Reading)
    uint16_t modeBefore; // output mode written before the values are taken, or NoMode
    int pointCount;      // 0..2
    Point points[2];
    int tolerance;      // |value - expected| at most this
    bool eitherSign;    // the magnitude is checked; the value takes the sign expected
    reg::Address block; // the coefficient block the points feed, or NoBlock
    bool writesBlocks;  // after the checks: every block fed since the last such step
    uint16_t modeAfter; // output mode written after those blocks, or NoMode
};

// One module type's run.
struct Sequence {
    const Step* steps;
    int count;          // the last step is the closing one
    bool withOutput;    // the output is measured and drives the inputs (QMT-584)
    const char* blocks; // the blocks a finished run has written, as the closing step names them
};

extern const Sequence OutputAndInputs; // module type 2
extern const Sequence InputsOnly;      // module type 8
extern const char* const FinishedText;

} // namespace qmt::calib
