// Step figures of the simulator's regulators, polled as the program polls
// them, against a plain sample-by-sample computation of the same figures:
// real loops with noise, load and integer values, through the pyramid.

#include "core/Dataset.h"
#include "core/Measure.h"

#include "core/Module.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace curvix;
namespace sim = qmt::sim;

namespace {

struct Polled {
    std::vector<int64_t> t;
    std::vector<float> sp, pv;
};

// The figures by walking every sample, with the same definitions.
StepFigures plainFigures(const Polled& p) {
    StepFigures f;
    const double from = p.sp.front(), to = p.sp.back(), size = to - from;
    std::size_t j = 0;
    while (std::fabs(p.sp[j] - from) <= 1e-6 * std::max({1.0, std::fabs(from), std::fabs(to)}))
        ++j;
    f.found = true;
    f.from = from;
    f.to = to;
    f.size = size;
    f.stepTime = p.t[j];
    const bool up = size > 0;
    auto cross = [&](double level, std::size_t from, std::size_t* at) {
        for (std::size_t i = from; i < p.pv.size(); ++i) {
            if (up ? p.pv[i] < level : p.pv[i] > level) continue;
            *at = i;
            if (i > from && p.pv[i - 1] != p.pv[i])
                return p.t[i - 1] + (level - p.pv[i - 1]) / (p.pv[i] - p.pv[i - 1]) *
                                        double(p.t[i] - p.t[i - 1]);
            return double(p.t[i]);
        }
        return double(NAN);
    };
    std::size_t at10 = j, at90 = j;
    const double t10 = cross(from + 0.1 * size, j, &at10);
    f.riseMs = cross(from + 0.9 * size, at10, &at90) - t10;
    double peak = up ? -INFINITY : INFINITY;
    for (std::size_t i = j; i < p.pv.size(); ++i)
        peak = up ? std::max<double>(peak, p.pv[i]) : std::min<double>(peak, p.pv[i]);
    f.overshootPct = std::max(0.0, (up ? peak - to : to - peak) / std::fabs(size) * 100);
    auto settle = [&](double band) {
        std::size_t k = p.pv.size();
        for (std::size_t i = p.pv.size(); i-- > j;)
            if (std::fabs(p.pv[i] - to) > band) {
                k = i;
                break;
            }
        if (k == p.pv.size()) return double(p.t[j] - f.stepTime);
        if (k + 1 == p.pv.size()) return double(NAN);
        const double edge = p.pv[k] > to ? to + band : to - band;
        return p.t[k] + (edge - p.pv[k]) / (p.pv[k + 1] - p.pv[k]) * double(p.t[k + 1] - p.t[k]) -
               double(f.stepTime);
    };
    f.settle2Ms = settle(0.02 * std::fabs(size));
    f.settle5Ms = settle(0.05 * std::fabs(size));
    f.steadyError = to - p.pv.back();
    return f;
}

} // namespace

TEST(SimulatorStep, FiguresOfEachRegulatorMatchAPlainWalk) {
    sim::Module module;
    struct Tuning {
        uint16_t kp, ti; // Kp in hundredths, Ti in module cycles
        int16_t from, to;
    };
    const Tuning tunings[3] = {{800, 150, 200, 900}, {400, 600, 800, 100}, {800, 400, 0, 500}};
    for (int n = 0; n < 3; ++n) {
        const uint16_t base = sim::reg::PidBlock + sim::reg::PidBlockStride * n;
        module.setReg(base + sim::pid::Kp, tunings[n].kp);
        module.setReg(base + sim::pid::Ti, tunings[n].ti);
        module.setReg(base + sim::pid::XsDef, uint16_t(tunings[n].from));
    }
    module.advance(60.0); // settle at the first set points
    Dataset data;
    std::vector<Polled> polled(3);
    for (int step = 0; step < 4000; ++step) { // 40 s at 100 polls a second
        if (step == 500)
            for (int n = 0; n < 3; ++n)
                module.setReg(sim::reg::PidBlock + sim::reg::PidBlockStride * n + sim::pid::XsDef,
                              uint16_t(tunings[n].to));
        module.advance(0.01);
        const int64_t t = 1'000'000 + step * 10;
        for (int n = 0; n < 3; ++n) {
            const uint16_t live = sim::reg::Live + sim::reg::LiveStride * n;
            const float xs = int16_t(module.reg(live + sim::pid::LiveXs));
            const float xm = int16_t(module.reg(live + sim::pid::LiveXm));
            data.addSample(data.channel(7 * n + 1), t, xs);
            data.addSample(data.channel(7 * n + 2), t, xm);
            polled[n].t.push_back(t);
            polled[n].sp.push_back(xs);
            polled[n].pv.push_back(xm);
        }
    }
    const Measurements m = measure(data, data.firstTime(), data.lastTime());
    ASSERT_EQ(m.steps.size(), 3u);
    for (int n = 0; n < 3; ++n) {
        SCOPED_TRACE(n + 1);
        const StepFigures& f = m.steps[std::size_t(n)].figures;
        const StepFigures plain = plainFigures(polled[std::size_t(n)]);
        ASSERT_TRUE(f.found) << f.problem.toStdString();
        EXPECT_EQ(m.steps[std::size_t(n)].pair.regulator, n + 1);
        EXPECT_EQ(f.stepTime, plain.stepTime);
        EXPECT_DOUBLE_EQ(f.size, tunings[n].to - tunings[n].from);
        for (auto [mine, theirs] : {std::pair{f.riseMs, plain.riseMs},
                                    {f.settle2Ms, plain.settle2Ms},
                                    {f.settle5Ms, plain.settle5Ms},
                                    {f.overshootPct, plain.overshootPct},
                                    {f.steadyError, plain.steadyError}}) {
            if (std::isnan(theirs))
                EXPECT_TRUE(std::isnan(mine));
            else
                EXPECT_NEAR(mine, theirs, 1e-9 * std::max(1.0, std::fabs(theirs)));
        }
        // A tuned loop: it rises and settles within the run.
        EXPECT_TRUE(std::isfinite(f.riseMs));
        EXPECT_TRUE(std::isfinite(f.settle5Ms));
    }
    EXPECT_GT(m.steps[0].figures.overshootPct, 5.0); // the stiffest loop overshoots
}
