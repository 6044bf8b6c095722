// The loop's predicted answer to a set-point step: a model of the plant under
// the module's own discrete law (the one qmt584-sim implements and its manual
// page writes down), with the words to be written, the output limits and the
// steady state the step starts from.
#pragma once

#include "tune/Model.h"
#include "tune/Rules.h"

#include <cstdint>
#include <vector>

namespace qmt::tune {

struct LoopSetup {
    PidWords words;
    uint16_t tsWord = 2;
    bool reverse = false;   // PIDControl bit 1
    double ymin = -20000.0; // Ymin
    double ymax = 20000.0;  // Ymax
    double xm0 = 0.0;       // steady Xm before the step: the old set point
    double y0 = 0.0;        // steady Y before the step
};

struct Response {
    std::vector<double> t; // seconds from the step
    std::vector<double> xs, xm, y;
};

// Runs the model and the law cycle by cycle for duration seconds after the
// set point steps by step, keeping a sample every period seconds (the first
// at the step).
Response predictStep(const Model& model, const LoopSetup& setup, double step, double duration,
                     double period);

} // namespace qmt::tune
