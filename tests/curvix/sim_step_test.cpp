// Step figures of the simulator's regulators, polled as the program polls
// them: the store's pyramid answers as plain scans of the same samples do,
// on real loops with noise, load and integer values.

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
        const Polled& p = polled[std::size_t(n)];
        const StepFigures plain =
            stepFigures(StepSamples(p.t, p.sp), StepSamples(p.t, p.pv), p.t.front(), p.t.back());
        ASSERT_TRUE(f.found) << f.problem.toStdString();
        EXPECT_EQ(m.steps[std::size_t(n)].pair.regulator, n + 1);
        EXPECT_EQ(f.stepTime, plain.stepTime);
        EXPECT_DOUBLE_EQ(f.target - f.setFrom, tunings[n].to - tunings[n].from);
        const StepLegs& l = f.toTarget;
        for (auto [mine, theirs] : {std::pair{l.rise, plain.toTarget.rise},
                                    {l.settle2, plain.toTarget.settle2},
                                    {l.settle5, plain.toTarget.settle5},
                                    {l.overshoot, plain.toTarget.overshoot},
                                    {f.steadyLevel, plain.steadyLevel}}) {
            EXPECT_EQ(mine.gap, theirs.gap);
            if (theirs.known()) {
                EXPECT_NEAR(mine.value, theirs.value,
                            1e-6 * std::max(1.0, std::fabs(theirs.value)));
            }
        }
        // A tuned loop: it rises and settles within the run.
        EXPECT_TRUE(l.rise.known());
        EXPECT_TRUE(l.settle5.known());
    }
    EXPECT_GT(m.steps[0].figures.toTarget.overshoot.value, 5.0); // the stiffest loop overshoots
}
