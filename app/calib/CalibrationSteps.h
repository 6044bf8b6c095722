#pragma once
// The wording of the calibration wizard's steps, one table per module type.

namespace qmt::calib {

struct StepText {
    const char* instruction;
    const char* tip;
};

extern const StepText OutputAndInputSteps[14];
extern const StepText InputOnlySteps[13];
extern const char* const FinishedText;
extern const char* const OutputAndInputBlocks;
extern const char* const InputBlocks;

} // namespace qmt::calib
