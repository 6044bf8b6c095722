// Identification of a regulator's plant from a bump test: the output stepped
// by outputStep at stepTime with the regulator in forced output, Xm sampled
// before and after. Out comes a first-order-plus-dead-time model, or the
// reason there is none.
#pragma once

#include "tune/Model.h"

#include <QString>

#include <vector>

namespace qmt::tune {

struct StepRecord {
    std::vector<double> t;  // seconds, increasing; at least one sample up to stepTime
    std::vector<double> xm; // Xm at t
    double stepTime = 0.0;
    double outputStep = 0.0; // ΔY
    bool reverse = false;    // the regulator's action (PIDControl bit 1)
};

enum class Refusal {
    None,
    TooFewSamples,
    NoStep,         // ΔY is 0
    SmallChange,    // the change of Xm is small against the noise
    WrongDirection, // Xm went the wrong way for the regulator's action
    NotSettled,     // the record ended before Xm was steady
    NoFit,          // the fit did not converge
};

struct Identification {
    Refusal refusal = Refusal::None;
    QString reason;    // for the engineer, empty when a model was found
    Model model;       // filled whenever a fit was made
    double base = 0.0; // Xm before the step
    // Root mean square of the residuals after the step, in per cent of the
    // change of Xm (0 for a perfect fit).
    double fitErrorPct = 0.0;
    double noise = 0.0; // standard deviation of Xm's noise, counts
    double stepTime = 0.0;
    double outputStep = 0.0;

    bool ok() const { return refusal == Refusal::None; }
    // The fitted curve, for drawing over the data.
    double fitted(double t) const { return base + outputStep * model.unitStep(t - stepTime); }
};

Identification identify(const StepRecord& record);

// Whether x has been steady over the last window seconds: the least-squares
// line through those samples moves by no more than band across the window.
// false until the samples cover the window.
bool isSteady(const std::vector<double>& t, const std::vector<double>& x, double window,
              double band);

// The standard deviation of x's noise, from its second differences (blind to
// a smooth response), and never below the half count of the Xm word.
double noiseLevel(const std::vector<double>& x);

} // namespace qmt::tune
