// The plant model a bump test is read into: first order plus dead time, as
// the tuning rules take it. Xm changes by gain per unit of the output Y, with
// a time constant and a dead time in seconds. A second time constant (lag2)
// is 0 for an identified model; a prediction may take one for a plant known
// better.
#pragma once

namespace qmt::tune {

struct Model {
    double gain = 0.0;
    double timeConstant = 0.0;
    double deadTime = 0.0;
    double lag2 = 0.0;

    // The change of Xm t seconds after a unit step of Y.
    double unitStep(double t) const;
};

} // namespace qmt::tune
