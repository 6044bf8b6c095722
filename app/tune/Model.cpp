// The model's step response, the curve drawn over a test's data.
#include "tune/Model.h"

#include <cmath>

namespace qmt::tune {

double Model::unitStep(double t) const {
    const double s = t - deadTime;
    if (s <= 0) return 0.0;
    const double t1 = timeConstant, t2 = lag2;
    if (t2 <= 0) return gain * -std::expm1(-s / t1);
    if (std::fabs(t1 - t2) < 1e-9 * t1) // two equal lags
        return gain * (1 - (1 + s / t1) * std::exp(-s / t1));
    return gain * (1 - (t1 * std::exp(-s / t1) - t2 * std::exp(-s / t2)) / (t1 - t2));
}

} // namespace qmt::tune
