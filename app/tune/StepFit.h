// The least-squares fit of a first-order-plus-dead-time step response to a
// recorded Xm, and the two-point estimate it starts from. Sample times may be
// uneven (one register per request, as the line allows).
#pragma once

#include <cstddef>

namespace qmt::tune {

// Xm(t) = base for t <= stepTime + deadTime, else
// base + change * (1 - exp(-(t - stepTime - deadTime) / timeConstant)).
struct StepCurve {
    double base = 0.0;
    double change = 0.0;
    double timeConstant = 0.0;
    double deadTime = 0.0;

    double at(double t, double stepTime) const;
};

// The start: base from the samples up to the step, the final value from the
// last tenth after it, and T = 1.5 (t63 - t28), L = t63 - T from the times the
// response crosses 28.3 % and 63.2 % of its change. false when there is no
// change to cross.
bool twoPointEstimate(const double* t, const double* x, size_t n, double stepTime, StepCurve& out);

// Levenberg-Marquardt on base, change, T and L from start; false when it does
// not reach finite values. rms gets the root mean square of the residuals of
// the samples after the step.
bool fitStep(const double* t, const double* x, size_t n, double stepTime, StepCurve& curve,
             double* rms = nullptr);

} // namespace qmt::tune
