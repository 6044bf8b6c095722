// The bump test through Modbus against the simulator's plants: the model
// read off each, and the smooth SIMC proposal written and checked with a
// set-point step, against the textbook limits (overshoot at most 10 %,
// settling within ±5 % in twice the predicted time).
#include "BumpOnSimulator.h"

#include "common/StepFigures.h"
#include "config/PidWrite.h"
#include "link/RegisterMap.h"
#include "tune/Predict.h"
#include "tune/Rules.h"
#include "tune/SetPointTest.h"

#include <QTest>

#include <cmath>
#include <string>

using namespace qmt;
using namespace qmt::tune;

namespace {

constexpr uint16_t kControl = reg::PidWord(0, reg::pid::PIDControl);
constexpr uint16_t kXfo = reg::LiveBlock(0) + reg::live::Xfo;
constexpr uint16_t kXm = reg::LiveBlock(0) + reg::live::Xm;
constexpr int kMid = 2048; // Xm of a plant at rest

struct Plant {
    const char* name;
    double k, t1, t2, l;
    double scale; // --time-scale: about half a second of wall time per T + L
    int noise;    // counts: 1 % of the change of Xm
    double dy;
};

std::string plantOption(const Plant& p) {
    std::string s = "1:" + std::to_string(p.k) + "," + std::to_string(p.t1);
    if (p.t2 > 0) s += "," + std::to_string(p.t2);
    return s + "," + std::to_string(p.l);
}

// Set point and Xm as the step figures take them, times in milliseconds.
StepFigures figuresOf(const std::vector<double>& t, const std::vector<double>& xs,
                      const std::vector<double>& xm) {
    std::vector<int64_t> ms;
    std::vector<float> s(xs.begin(), xs.end()), x(xm.begin(), xm.end());
    for (double v : t)
        ms.push_back(int64_t(std::lround(v * 1000)));
    return stepFigures(StepSamples(ms, s), StepSamples(ms, x), ms.front(), ms.back());
}

class Plants : public test::BumpOnSimulator {};

TEST_F(Plants, IdentifiedAndTunedThroughModbus) {
    const Plant plants[] = {
        {"L/T 0.1, T 2 s", 0.8, 2, 0, 0.2, 4, 0, 1000},
        {"L/T 2", 1.5, 5, 0, 10, 20, 0, 1000},
        {"T 60 s", 0.5, 60, 0, 20, 150, 0, 2000},
        {"negative gain, reverse", -1.2, 20, 0, 5, 50, 0, 1000},
        {"1 % noise", 1.0, 8, 0, 2, 20, 10, 1000},
        {"second order", 2, 10, 1, 1, 24, 0, 500},
    };
    for (const Plant& p : plants) {
        SCOPED_TRACE(p.name);
        startWith({"--plant", plantOption(p), "--noise", std::to_string(p.noise), "--time-scale",
                   std::to_string(p.scale)});
        test::ScaledClock clock(p.scale);
        // The plant at rest from the start: Y held at 0 in forced output, Xm at mid-scale.
        const uint16_t action = p.k < 0 ? reg::pid::ReverseAction : 0;
        WriteRegister(kXfo, 0);
        WriteRegister(kControl, action | reg::pid::ForcedOutput);

        BumpTest bump;
        BumpSetup setup;
        setup.outputStep = p.dy;
        setup.maxTime = 30 * (p.t1 + p.t2 + p.l);
        bump.start(setup);
        ASSERT_TRUE(test::runToEnd(bump, 60000));
        EXPECT_EQ(bump.end(), BumpTest::End::Steady);
        const Identification id = bump.identification();
        ASSERT_TRUE(id.ok()) << id.reason.toStdString();
        // A first-order model counts a second order's smaller lag as dead time.
        const double period = 0.1 * p.scale, t = p.t1, l = p.l + p.t2;
        EXPECT_NEAR(id.model.gain, p.k, 0.05 * std::fabs(p.k));
        EXPECT_NEAR(id.model.timeConstant, t, 0.05 * t);
        EXPECT_NEAR(id.model.deadTime, l, period + 0.05 * l);

        const RegulatorState state = readRegulator(0);
        const Proposal prop = propose(id.model, Rule::Simc,
                                      closedLoopTime(Speed::Smooth, id.model, state.ts), state.ts);
        WritePidParameters(0, {{2, prop.words.kp}, {3, prop.words.ti}, {4, prop.words.td}});
        const int step = 400;
        LoopSetup loop;
        loop.words = prop.words;
        loop.tsWord = state.ts;
        loop.reverse = state.reverse();
        loop.xm0 = kMid;
        const double horizon = 10 * (id.model.timeConstant + id.model.deadTime);
        Response predicted = predictStep(id.model, loop, step, horizon, 0.1);
        // the loop at rest just before the step
        predicted.t.insert(predicted.t.begin(), -0.1);
        predicted.xs.insert(predicted.xs.begin(), kMid);
        predicted.xm.insert(predicted.xm.begin(), kMid);
        const StepFigures expected = figuresOf(predicted.t, predicted.xs, predicted.xm);
        ASSERT_TRUE(expected.toTarget.settle5.known());
        const double settle = expected.toTarget.settle5.value / 1000;

        // Back at rest after the restore; then into automatic without a bump:
        // the set point at Xm, the integrator at the output.
        QTRY_VERIFY_WITH_TIMEOUT(std::abs(int16_t(ReadRegister(kXm)) - kMid) <= 2,
                                 int(1000 * 4 * horizon / p.scale));
        WriteRegister(reg::PidWord(0, reg::pid::XsDef), kMid);
        WriteRegister(reg::LiveBlock(0) + reg::live::Ival, 0);
        WriteRegister(reg::LiveBlock(0) + reg::live::State, reg::live::SetIntegrator);
        WriteRegister(kControl, action);
        SetPointTest check;
        check.start(0, step, 2.5 * settle);
        ASSERT_TRUE(test::runToEnd(check, 60000));
        const StepFigures measured = figuresOf(check.t(), check.xs(), check.xm());
        ASSERT_TRUE(measured.found) << measured.problem.toStdString();
        EXPECT_LE(measured.toTarget.overshoot.value, 10);
        ASSERT_TRUE(measured.toTarget.settle5.known());
        EXPECT_LE(measured.toTarget.settle5.value / 1000, 2 * settle);
        EXPECT_EQ(sim.registerValue(reg::PidWord(0, reg::pid::XsDef)), kMid); // the old set point
        sim.stop();
    }
}

} // namespace


