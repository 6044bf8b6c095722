// Configured plants against their analytic step responses, and the noise and
// load disturbance that can be scaled or switched off.
#include "core/Module.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace qmt::sim;

namespace {

constexpr uint16_t kControl = reg::PidBlock + pid::Control;
constexpr uint16_t kXfo = reg::Live + pid::LiveXfo;

// The textbook step response of the plant to a unit step at t = 0.
double unitStep(const Plant& p, double t) {
    const double s = t - p.deadTime;
    if (s <= 0) return 0.0;
    if (p.t2 <= 0) return p.gain * (1 - std::exp(-s / p.t1));
    return p.gain * (1 - (p.t1 * std::exp(-s / p.t1) - p.t2 * std::exp(-s / p.t2)) / (p.t1 - p.t2));
}

int16_t xm(const Module& m) {
    return static_cast<int16_t>(m.reg(reg::InputValue));
}

ModuleOptions quiet() {
    ModuleOptions o;
    o.noise = 0;
    o.load = 0;
    return o;
}

} // namespace

TEST(SimPlants, StepResponsesFollowTheTextbook) {
    struct Case {
        const char* name;
        Plant plant;
        int16_t y;
        uint16_t inputMode; // 1 current, 2 voltage
        uint16_t blockGain; // integer part of the input block's gain
        double tolerance;   // counts
    } cases[] = {
        {"first order", {0.5, 2, 0, 0}, 1000, 2, 1, 1},
        {"dead time", {0.5, 2, 0, 1.5}, 1000, 2, 1, 1},
        {"negative gain", {-1.2, 5, 0, 0.4}, 1000, 2, 1, 1},
        {"second order", {2, 3, 1, 0.5}, 500, 2, 1, 1},
        {"current input", {0.5, 2, 0, 1}, 1000, 1, 1, 1},
        {"calibrated input", {0.5, 2, 0, 1}, 1000, 2, 2, 2}, // Xm in steps of 2
    };
    for (const Case& c : cases) {
        ModuleOptions o = quiet();
        o.plants[0] = c.plant;
        Module m(o);
        m.setReg(reg::InputMode, c.inputMode);
        m.setReg(c.inputMode == 1 ? reg::InputCurrentBlock + 1 : reg::InputVoltageBlock + 1,
                 c.blockGain);
        const int16_t x0 = xm(m);
        m.setReg(kXfo, static_cast<uint16_t>(c.y));
        m.setReg(kControl, pid::ControlForced);
        // the regulator puts out the forced value at its first sample (4 ms);
        // the plant takes it from the start of that cycle
        const double t0 = 0.002;
        double t = 0.0;
        for (double at : {0.2, 0.5, 1.0, 1.6, 2.0, 3.0, 5.0, 8.0, 15.0, 30.0}) {
            m.advance(at - t);
            t = at;
            const double expected = x0 + c.y * unitStep(c.plant, t - t0);
            EXPECT_NEAR(xm(m), expected, c.tolerance) << c.name << " at " << t << " s";
        }
    }
}

TEST(SimPlants, NoiseAndLoadScaleOrSwitchOff) {
    struct Case {
        int noise;
        double load;
        int minSpread, maxSpread; // peak-to-peak Xm over 40 s at rest
    } cases[] = {
        {0, 0, 0, 0},
        {20, 0, 30, 40},
        {0, 100, 150, 201}, // K = 1: the load's own amplitude on Xm
        {1, 40, 60, 83},    // the defaults
    };
    for (const Case& c : cases) {
        ModuleOptions o;
        o.noise = c.noise;
        o.load = c.load;
        o.plants[0] = Plant{1.0, 0.5, 0, 0};
        Module m(o);
        m.setReg(kControl, pid::ControlForced); // output held at 0
        int lo = xm(m), hi = lo;
        for (int i = 0; i < 4000; ++i) {
            m.advance(0.01);
            lo = std::min<int>(lo, xm(m));
            hi = std::max<int>(hi, xm(m));
        }
        EXPECT_GE(hi - lo, c.minSpread) << "noise " << c.noise << " load " << c.load;
        EXPECT_LE(hi - lo, c.maxSpread) << "noise " << c.noise << " load " << c.load;
    }
    // changed at run time, as by the control commands
    Module m(quiet());
    m.setReg(kControl, pid::ControlForced);
    m.setNoise(5);
    int lo = 4096, hi = -1;
    for (int i = 0; i < 200; ++i) {
        m.advance(0.01);
        lo = std::min<int>(lo, xm(m));
        hi = std::max<int>(hi, xm(m));
    }
    EXPECT_GE(hi - lo, 6);
    EXPECT_LE(hi - lo, 10);
}

TEST(SimPlants, NewPlantStartsAtRestAtThePresentOutput) {
    Module m(quiet());
    m.setReg(kXfo, 800);
    m.setReg(kControl, pid::ControlForced);
    m.advance(0.1);
    m.setPlant(0, Plant{0.5, 10, 0, 2});
    EXPECT_EQ(xm(m), 2048 + 400);
    m.advance(5); // nothing new on its way through the dead time
    EXPECT_EQ(xm(m), 2048 + 400);
    m.setPlant(0, std::nullopt); // the built-in plant: 0.1779 counts per mV
    EXPECT_EQ(xm(m), 2048 + 142);
    m.advance(5);
    EXPECT_EQ(xm(m), 2048 + 142);
}
