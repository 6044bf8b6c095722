// The prediction against the simulator's own regulator on the same plant,
// which holds the two implementations of the module's law together; and the
// whole chain on the simulator: bump test, identification, the smooth SIMC
// proposal, a set-point step.
#include "tune/Identify.h"
#include "tune/Predict.h"

#include "core/Module.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace qmt::tune;
namespace sim = qmt::sim;

namespace {

constexpr uint16_t kPid = sim::reg::PidBlock;
constexpr uint16_t kXm = sim::reg::InputValue, kY = sim::reg::Live + sim::pid::LiveY;
constexpr uint16_t kXfo = sim::reg::Live + sim::pid::LiveXfo;

struct Loop {
    Model plant;
    PidWords words;
    uint16_t ts = 2;
    bool reverse = false;
    double ymin = -20000, ymax = 20000;
};

// A quiet simulator with the plant on regulator 1, at rest at Xm 2048, Y 0.
sim::Module simulator(const Model& p, int noise = 0) {
    sim::ModuleOptions o;
    o.noise = noise;
    o.load = 0;
    o.plants[0] = sim::Plant{p.gain, p.timeConstant, p.lag2, p.deadTime};
    return sim::Module(o);
}

void writeLoop(sim::Module& m, const Loop& l, double setPoint) {
    m.setReg(kPid + sim::pid::Kp, l.words.kp);
    m.setReg(kPid + sim::pid::Ti, l.words.ti);
    m.setReg(kPid + sim::pid::Td, l.words.td);
    m.setReg(kPid + sim::pid::Ts, l.ts);
    m.setReg(kPid + sim::pid::Ymin, uint16_t(int16_t(l.ymin)));
    m.setReg(kPid + sim::pid::Ymax, uint16_t(int16_t(l.ymax)));
    m.setReg(kPid + sim::pid::Control, l.reverse ? sim::pid::ControlReverse : 0);
    m.setReg(kPid + sim::pid::XsDef, uint16_t(int16_t(setPoint)));
}

LoopSetup setupOf(const Loop& l) {
    LoopSetup s;
    s.words = l.words;
    s.tsWord = l.ts;
    s.reverse = l.reverse;
    s.ymin = l.ymin;
    s.ymax = l.ymax;
    s.xm0 = 2048;
    return s;
}

double s16(uint16_t v) {
    return int16_t(v);
}

// Overshoot in per cent of the step and the time of the last sample outside
// ±5 % of it.
struct Figures {
    double overshoot, settling;
};
Figures figures(const std::vector<double>& t, const std::vector<double>& x, double from,
                double step) {
    double peak = 0, settling = 0;
    for (size_t i = 0; i < t.size(); ++i) {
        const double d = (x[i] - from) / step; // 1 at the new set point
        peak = std::max(peak, d - 1);
        if (std::fabs(d - 1) > 0.05) settling = t[i];
    }
    return {100 * peak, settling};
}

} // namespace

TEST(Predict, FollowsTheSimulatorsRegulator) {
    const Model fopdt{0.5, 5, 1};
    struct Case {
        const char* name;
        Loop loop;
        double step;
    } cases[] = {
        {"SIMC smooth", {fopdt, propose(fopdt, Rule::Simc, 6, 2).words}, 400},
        {"reverse action", {{-1, 3, 0.5}, {150, 1200, 0}, 2, true}, -300},
        {"PID, second order", {{1.2, 4, 0.2, 1}, {220, 2300, 2500}}, 300},
        {"held at Ymax", {fopdt, {300, 1000, 0}, 2, false, -20000, 1000}, 400},
        {"Ts 100 ms", {{0.8, 10, 2}, {180, 5000, 0}, 50}, 500},
    };
    for (const Case& c : cases) {
        const Response p = predictStep(c.loop.plant, setupOf(c.loop), c.step, 40, 0.1);
        sim::Module m = simulator(c.loop.plant);
        writeLoop(m, c.loop, 2048 + c.step);
        double worstXm = 0, worstY = 0;
        for (size_t i = 0; i < p.t.size(); ++i) {
            if (i > 0) m.advance(0.1);
            worstXm = std::max(worstXm, std::fabs(s16(m.reg(kXm)) - p.xm[i]));
            worstY = std::max(worstY, std::fabs(s16(m.reg(kY)) - p.y[i]));
        }
        EXPECT_LE(worstXm, 1) << c.name;
        EXPECT_LE(worstY, 1) << c.name;
        EXPECT_GT(std::fabs(p.xm.back() - 2048), 0.5 * std::fabs(c.step)) << c.name; // it moved
    }
}

TEST(Predict, SmoothSimcOnTheSimulator) {
    // The plants of a bump test: dead time from a tenth to twice the time
    // constant, 2 s to 60 s, a negative gain, noise, a second order.
    struct Case {
        const char* name;
        Model plant;
        bool reverse;
        double period; // sampling of the bump test, s
        int noise;     // counts
    } cases[] = {
        {"L/T 0.1", {0.8, 10, 1}, false, 0.1, 0},   {"L/T 2", {1.5, 2, 4}, false, 0.1, 0},
        {"T 60 s", {0.5, 60, 20}, false, 1.0, 0},   {"negative gain", {-1.2, 20, 5}, true, 0.5, 0},
        {"1 % noise", {1.0, 8, 2}, false, 0.1, 10}, {"second order", {2, 10, 1, 1}, false, 0.2, 0},
    };
    for (const Case& c : cases) {
        // The bump test: forced output stepped from 0 to ΔY.
        const double dy = c.plant.gain > 0 ? 1000 : -1000;
        sim::Module m = simulator(c.plant, c.noise);
        m.setReg(kPid + sim::pid::Control, sim::pid::ControlForced | (c.reverse ? 2 : 0));
        StepRecord r;
        r.outputStep = dy;
        r.reverse = c.reverse;
        const double length = c.plant.deadTime + 6 * (c.plant.timeConstant + c.plant.lag2);
        for (int i = -20; i * c.period <= length; ++i) {
            if (i == 0) m.setReg(kXfo, uint16_t(int16_t(dy)));
            m.advance(c.period);
            r.t.push_back((i + 1) * c.period);
            r.xm.push_back(s16(m.reg(kXm)));
        }
        const Identification id = identify(r);
        ASSERT_TRUE(id.ok()) << c.name << ": " << id.reason.toStdString();

        const Proposal p =
            propose(id.model, Rule::Simc, closedLoopTime(Speed::Smooth, id.model, 2), 2);
        const Loop loop{c.plant, p.words, 2, c.reverse};
        const double step = 400, horizon = 10 * (id.model.timeConstant + id.model.deadTime);
        const Response predicted = predictStep(id.model, setupOf(loop), step, horizon, 0.1);
        const Figures expected = figures(predicted.t, predicted.xm, 2048, step);

        sim::Module closed = simulator(c.plant, c.noise);
        writeLoop(closed, loop, 2048 + step);
        std::vector<double> t, x;
        for (double at = 0; at <= horizon; at += 0.1) {
            closed.advance(0.1);
            t.push_back(at + 0.1);
            x.push_back(s16(closed.reg(kXm)));
        }
        const Figures measured = figures(t, x, 2048, step);
        EXPECT_LE(measured.overshoot, 10) << c.name;
        EXPECT_LE(measured.settling, 2 * expected.settling) << c.name;
    }
}
