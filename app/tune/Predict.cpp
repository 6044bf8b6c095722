// The module's law as its cycle runs it: every 2 ms the regulator, when its
// sample is due, takes Xm as the input stood at the end of the last cycle and
// sets its output word; the plant then takes that word, after its dead time,
// through its lags, each exact for an input held over the cycle.
#include "tune/Predict.h"

#include <algorithm>
#include <cmath>

namespace qmt::tune {

namespace {

constexpr double kCycle = 0.002;

// The words as integers: Xm and Y are 16-bit registers.
double s16(double v) {
    return std::clamp(v, -32768.0, 32767.0);
}

struct Law {
    double kp, ti, td, h;
    bool reverse;
    double ymin, ymax;
    double integrator, previous = 0.0;

    // One sample: the output word for the set point and the Xm word.
    double step(double xs, double xm) {
        double e = reverse ? xm - xs : xs - xm;
        double in = integrator + (ti > 0 ? kp * e * h / ti : 0.0);
        double y = kp * e + in + kp * td * (e - previous) / h;
        if (y >= ymax) {
            y = ymax;
            if (e > 0) in = std::min(in, integrator); // no wind-up past the limit
        } else if (y <= ymin) {
            y = ymin;
            if (e < 0) in = std::max(in, integrator);
        }
        integrator = in;
        previous = e;
        return std::trunc(s16(y));
    }
};

} // namespace

Response predictStep(const Model& m, const LoopSetup& s, double step, double duration,
                     double period) {
    const PidValues v = fromWords(s.words);
    // The steady start: the output's offset is part of the integrator.
    Law law{v.kp, v.ti, v.td, samplePeriod(s.tsWord), s.reverse, s.ymin, s.ymax, s.y0};
    const double a1 = -std::expm1(-kCycle / std::max(m.timeConstant, 1e-9));
    const double a2 = m.lag2 > 0 ? -std::expm1(-kCycle / m.lag2) : 1.0;
    // Outputs on their way through the dead time, as deviations from y0.
    std::vector<double> line(static_cast<size_t>(std::lround(m.deadTime / kCycle)), 0.0);
    size_t at = 0;
    double lag = 0.0, x = 0.0, y = s.y0, since = 0.0;
    const double xs = s.xm0 + step;

    Response r;
    const long cycles = std::lround(duration / kCycle);
    const long every = std::max(1L, std::lround(period / kCycle));
    for (long k = 0;; ++k) {
        const double xm = std::round(s16(s.xm0 + x));
        if (k % every == 0) {
            r.t.push_back(k * kCycle);
            r.xs.push_back(xs);
            r.xm.push_back(xm);
            r.y.push_back(y);
        }
        if (k == cycles) break;
        since += kCycle;
        if (since >= law.h - 1e-9) {
            since -= law.h;
            y = law.step(xs, xm);
        }
        double u = y - s.y0;
        if (!line.empty()) {
            std::swap(u, line[at]);
            at = (at + 1) % line.size();
        }
        double target = m.gain * u;
        if (m.lag2 > 0) {
            lag += (target - lag) * a2;
            target = lag;
        }
        x += (target - x) * a1;
    }
    return r;
}

} // namespace qmt::tune
