// Analog front end, calibration arithmetic and the live regulators of the model.
#include "core/Module.h"
#include "frames.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

using namespace qmt::sim;
using namespace qmt::sim::test;

namespace {

int16_t s16(uint16_t v) {
    return static_cast<int16_t>(v);
}

// The master's side of the exchange, through real frames.
struct Master {
    Module& m;

    Bytes send(const Bytes& f) { return m.handleFrame(f.data(), f.size()); }
    void write(uint16_t addr, std::vector<uint16_t> values) {
        Bytes r = send(writeReq(1, addr, values));
        ASSERT_EQ(r.size(), 8u) << "write of " << addr << " refused";
    }
    void writeProtected(uint16_t addr, std::vector<uint16_t> values) {
        write(reg::WriteEnable, {reg::WriteEnableCode});
        write(addr, values);
    }
    int16_t read(uint16_t addr) {
        Bytes r = send(readReq(1, addr, 1));
        EXPECT_EQ(r.size(), 7u);
        return r.size() == 7 ? int16_t((r[3] << 8) | r[4]) : 0;
    }
};

// Block words from two points, as the calibration computes them: x is what the
// block produces, y what it is applied to.
std::vector<uint16_t> block(double x1, double y1, double x2, double y2) {
    int32_t g = static_cast<int32_t>((x2 - x1) * 65536.0 / (y2 - y1));
    int32_t off = static_cast<int32_t>((x2 * 65536.0 - double(g) * y2) / 65536.0);
    return {uint16_t(uint32_t(g) & 0xFFFF), uint16_t(uint32_t(g) >> 16), uint16_t(off)};
}

void expectNear(double v, double expected, double tolerance, const char* what) {
    EXPECT_LE(std::fabs(v - expected), tolerance) << what << ": " << v << " vs " << expected;
}

InputConnection wired(InputConnection::Kind k, int polarity) {
    InputConnection c;
    c.kind = k;
    c.polarity = polarity;
    return c;
}

InputConnection source(InputConnection::Kind k, double value) {
    InputConnection c;
    c.kind = k;
    c.value = value;
    return c;
}

} // namespace

TEST(SimPhysics, DacCodeGivesBothQuantities) {
    Module m;
    Master ms{m};
    ms.writeProtected(reg::OutputSlew, {0});
    ms.write(reg::OutputValue, {328});
    EXPECT_EQ(m.dacCode(), 328);
    expectNear(m.outputMicroamps(), 421, 1, "uA");
    expectNear(m.outputMillivolts(), -9830, 0.01, "mV");
    ms.write(reg::OutputValue, {20000}); // beyond the 14-bit converter
    EXPECT_EQ(m.dacCode(), 16383);
    ms.write(reg::OutputValue, {uint16_t(-5)});
    EXPECT_EQ(m.dacCode(), 0);
    // the output block of the selected mode applies: current block doubles
    ms.writeProtected(36, {0, 2, 0});
    ms.writeProtected(reg::OutputMode, {1});
    ms.write(reg::OutputValue, {1000});
    EXPECT_EQ(m.dacCode(), 2000);
    ms.writeProtected(reg::OutputMode, {2});
    EXPECT_EQ(m.dacCode(), 1000);
}

TEST(SimPhysics, InputCountsFollowTheWiring) {
    Module m;
    Master ms{m};
    m.connectInput(0, source(InputConnection::VoltageSource, 10000));
    m.connectInput(1, source(InputConnection::CurrentSource, -20000));
    m.connectInput(2, source(InputConnection::VoltageSource, 50000));
    EXPECT_EQ(m.rawCount(0), 3827);
    EXPECT_EQ(m.rawCount(1), 506);
    EXPECT_EQ(m.rawCount(2), 4095); // clamped
    EXPECT_EQ(ms.read(1024), 3827); // identity blocks: the value is the count
    // the value goes through the block of the input's own mode
    ms.writeProtected(8, {0, 0, 100});  // voltage block of input 1: constant 100
    ms.writeProtected(24, {0, 0, 200}); // current block of input 1: constant 200
    EXPECT_EQ(ms.read(1024), 100);
    ms.writeProtected(reg::InputMode, {1});
    EXPECT_EQ(ms.read(1024), 200);
    // wired to the output, with polarity
    ms.writeProtected(reg::OutputSlew, {0});
    ms.write(reg::OutputValue, {16056}); // +9830 mV
    m.connectInput(1, wired(InputConnection::VoltageOutput, -1));
    EXPECT_EQ(m.rawCount(1), 299);
    m.connectInput(1, wired(InputConnection::CurrentOutput, 1));
    EXPECT_EQ(m.rawCount(1), 2048 + std::lround(16056 * 1.2821 * 0.0771));
    // open: mid-scale, with some noise once time runs
    m.connectInput(2, InputConnection{InputConnection::Open, 1, 0});
    EXPECT_EQ(m.rawCount(2), 2048);
    m.advance(0.1);
    EXPECT_LE(std::abs(m.rawCount(2) - 2048), 4);
}

// The whole output-and-inputs calibration with an ideal meter: the typed
// readings are the true output quantities, every check must pass and the
// calibrated module must then be accurate.
TEST(SimPhysics, NominalCalibrationRunPassesEveryCheck) {
    Module m;
    Master ms{m};
    auto check = [](double v, double expected, double tolerance, const char* step) {
        EXPECT_LE(std::fabs(v - expected), tolerance) << step << ": " << v;
    };
    ms.write(reg::CalibrationDate, {0xFFFF});
    for (uint16_t i = 0; i < 3; ++i)
        ms.writeProtected(reg::InputTi + i, {40});
    ms.writeProtected(reg::OutputSlew, {0});
    for (uint16_t b = 8; b <= 36; b += 4)
        ms.writeProtected(b, {0, 1, 0});
    ms.writeProtected(reg::InputMode, {1});

    auto typed = [&](uint16_t code, bool current) {
        ms.write(reg::OutputValue, {code});
        return double(std::lround(current ? m.outputMicroamps() : m.outputMillivolts()));
    };
    double i1 = typed(328, true), i2 = typed(15599, true);
    double u1 = typed(328, false), u2 = typed(16056, false);
    check(i1, 421, 200, "step 1");
    check(i2, 20000, 200, "step 2");
    check(std::fabs(u1), 9830, 200, "step 3");
    check(std::fabs(u2), 9830, 200, "step 4");
    ms.writeProtected(36, block(328, i1, 15599, i2));
    if (u1 > 0) u1 = -u1;
    ms.writeProtected(20, block(328, u1, 16056, u2));
    ms.writeProtected(reg::OutputMode, {2});

    auto readAt = [&](int16_t value, uint16_t input) {
        ms.write(reg::OutputValue, {uint16_t(value)});
        m.advance(2.0); // the program waits 2 s before reading
        return ms.read(1024 + input);
    };
    std::vector<std::vector<uint16_t>> voltage(3), current(3);
    for (uint16_t in = 0; in < 3; ++in) {
        m.connectInput(in, wired(InputConnection::VoltageOutput, 1));
        int lo = readAt(-9980, in), hi = readAt(9980, in);
        check(lo, 272, 80, "voltage low");
        check(hi, 3824, 80, "voltage high");
        voltage[in] = block(-9980, lo, 9980, hi);
    }
    ms.writeProtected(reg::OutputMode, {1});
    for (uint16_t in = 0; in < 3; ++in) {
        m.connectInput(in, wired(InputConnection::CurrentOutput, 1));
        int pos = readAt(19960, in);
        m.connectInput(in, wired(InputConnection::CurrentOutput, -1));
        int neg = readAt(19960, in);
        check(pos, 3587, 80, "current positive");
        check(neg, 509, 80, "current negative");
        current[in] = block(19960, pos, -19960, neg);
    }
    for (uint16_t in = 0; in < 3; ++in) {
        ms.writeProtected(8 + 4 * in, voltage[in]);
        ms.writeProtected(24 + 4 * in, current[in]);
    }

    // Calibrated: the output produces what is asked, the inputs read true.
    ms.write(reg::OutputValue, {12000});
    expectNear(m.outputMicroamps(), 12000, 3, "current output");
    ms.writeProtected(reg::OutputMode, {2});
    ms.write(reg::OutputValue, {uint16_t(-4321)});
    expectNear(m.outputMillivolts(), -4321, 3, "voltage output");
    ms.writeProtected(reg::InputMode, {2, 1, 2});
    m.connectInput(0, source(InputConnection::VoltageSource, 3000));
    m.connectInput(1, source(InputConnection::CurrentSource, -15000));
    m.connectInput(2, wired(InputConnection::VoltageOutput, -1));
    m.advance(0.01);
    expectNear(ms.read(1024), 3000, 20, "input 1 mV");
    expectNear(ms.read(1025), -15000, 40, "input 2 uA");
    expectNear(ms.read(1026), 4321, 20, "input 3 mV");
}

TEST(SimPhysics, InputsOnlyReferencesMatchTheirExpectedCounts) {
    Module m;
    m.advance(1.0); // with noise
    const struct {
        InputConnection::Kind kind;
        double value;
        int expected;
    } refs[] = {{InputConnection::VoltageSource, 10000, 3827},
                {InputConnection::VoltageSource, -10000, 269},
                {InputConnection::CurrentSource, 20000, 3590},
                {InputConnection::CurrentSource, -20000, 506}};
    for (int in = 0; in < 3; ++in)
        for (const auto& r : refs) {
            m.connectInput(in, source(r.kind, r.value));
            EXPECT_LE(std::abs(m.rawCount(in) - r.expected), 1) << in << " " << r.value;
        }
}

TEST(SimPhysics, OutputSlewRateLimitsChanges) {
    Module m;
    Master ms{m};
    ms.writeProtected(reg::OutputSlew, {10}); // mV per ms
    ms.write(reg::OutputValue, {1000});
    m.advance(0.05);
    expectNear(m.dacCode(), 500, 25, "half-way");
    m.advance(0.1);
    EXPECT_EQ(m.dacCode(), 1000);
}

class SimRegulator : public ::testing::Test {
protected:
    Module m;
    Master ms{m};
    uint16_t par(int n, int word) { return uint16_t(reg::PidBlock + 16 * n + word); }
    int16_t live(int n, int word) { return s16(m.reg(uint16_t(reg::Live + 8 * n + word))); }
    uint16_t state(int n) { return m.reg(uint16_t(reg::Live + 8 * n + pid::LiveState)); }
};

TEST_F(SimRegulator, SettlesOnItsSetPoint) {
    ms.write(par(0, pid::XsDef), {3000});
    ms.write(par(0, pid::Kp), {200});
    ms.write(par(0, pid::Ti), {250}); // 0.5 s
    m.advance(0.2);
    EXPECT_GT(live(0, pid::LiveY), 0);
    EXPECT_EQ(live(0, pid::LiveXs), 3000);
    m.advance(40);
    expectNear(live(0, pid::LiveXm), 3000, 15, "feedback");
    expectNear(m.plantValue(0), (3000 - 2048) / 0.1779, 100, "plant");
    EXPECT_EQ(state(0) & 7, 0);
    // the other regulators chase their own set-point 0 from mid-scale
    EXPECT_LT(live(1, pid::LiveXm), 2048);
}

TEST_F(SimRegulator, LimitsSetStateBits) {
    ms.write(par(0, pid::XsDef), {4000});
    ms.write(par(0, pid::Ymax), {1000});
    m.advance(1);
    EXPECT_EQ(live(0, pid::LiveY), 1000);
    EXPECT_EQ(state(0) & 7, pid::StateMax);
    ms.write(par(0, pid::XsDef), {0});
    ms.write(par(0, pid::Ymin), {uint16_t(-1000)});
    m.advance(1);
    EXPECT_EQ(live(0, pid::LiveY), -1000);
    EXPECT_EQ(state(0) & 7, pid::StateMin);
    ms.write(par(0, pid::XsDef), {30000});
    ms.write(par(0, pid::Kp), {65535});
    m.advance(0.1);
    EXPECT_EQ(state(0) & 7, pid::StateMax | pid::StateOverflow);
}

TEST_F(SimRegulator, ResetAndIntegratorCommands) {
    ms.write(par(1, pid::XsDef), {4000});
    ms.write(par(1, pid::Ymax), {500});
    m.advance(1);
    ASSERT_EQ(state(1), pid::StateMax);
    ms.write(reg::ResetRegister, {0x0002});
    EXPECT_EQ(m.reg(reg::ResetRegister), 2); // stays until the next cycle
    m.advance(0.002);
    EXPECT_EQ(m.reg(reg::ResetRegister), 0);
    EXPECT_EQ(state(1), 0);
    EXPECT_EQ(live(1, pid::LiveY), 0);

    // with no gain, the output is the integrator itself
    ms.write(par(2, pid::Kp), {0});
    ms.write(uint16_t(reg::Live + 16 + pid::LiveIval), {1234});
    ms.write(uint16_t(reg::Live + 16 + pid::LiveState), {0x000D});
    m.advance(0.01);
    EXPECT_EQ(state(2) & pid::StateSetIntegrator, 0);
    EXPECT_EQ(live(2, pid::LiveY), 1234);
}

TEST_F(SimRegulator, ControlBitsAndRouting) {
    ms.write(par(0, pid::XsDef), {3000});
    ms.write(par(0, pid::Control), {pid::ControlReverse});
    m.advance(0.004);
    EXPECT_LT(live(0, pid::LiveY), 0);
    ms.write(par(0, pid::Control), {pid::ControlDeadZone});
    ms.write(par(0, pid::dXdz1), {2000});
    ms.write(par(0, pid::dXdz2), {2000});
    m.advance(0.004);
    EXPECT_EQ(live(0, pid::LiveY), 0);
    ms.write(par(0, pid::Control), {pid::ControlForced});
    ms.write(uint16_t(reg::Live + pid::LiveXfo), {uint16_t(-777)});
    m.advance(0.004);
    EXPECT_EQ(live(0, pid::LiveY), -777);

    // regulator 2 takes its set-point from input 1; regulator 1 is then off
    m.connectInput(0, source(InputConnection::VoltageSource, 1000));
    ms.write(par(1, pid::InSw), {4});
    ms.write(par(0, pid::InSw), {uint16_t(-1)});
    m.advance(0.01);
    expectNear(live(1, pid::LiveXs), 2226, 1, "routed set-point");
    EXPECT_EQ(live(0, pid::LiveY), 0);
    // regulator 3 follows the output of regulator 2
    ms.write(par(2, pid::InSw), {2});
    m.advance(0.01);
    expectNear(live(2, pid::LiveXs), live(1, pid::LiveY), 500, "chained set-point");
}

TEST_F(SimRegulator, OutputSourceAndModuleMode) {
    ms.writeProtected(reg::OutputSlew, {0});
    ms.write(par(0, pid::Control), {pid::ControlForced});
    ms.write(uint16_t(reg::Live + pid::LiveXfo), {9000});
    ms.write(reg::SwOut, {1});
    m.advance(0.01);
    EXPECT_EQ(s16(m.reg(reg::OutputValue)), 9000);
    EXPECT_EQ(m.dacCode(), 9000);
    // independent mode: the output register drives the output, regulators rest
    ms.writeProtected(reg::ModuleMode, {1});
    ms.write(reg::OutputValue, {4000});
    m.advance(0.01);
    EXPECT_EQ(m.dacCode(), 4000);
    EXPECT_EQ(live(0, pid::LiveY), 0);
}

TEST_F(SimRegulator, PwmOutputs) {
    ms.writeProtected(reg::OutputSlew, {0});
    ms.writeProtected(reg::ModuleMode, {1});
    ms.write(reg::Pwm1 + 2, {100}); // 100 ms period
    ms.write(reg::OutputValue, {10000});
    auto dutyOf = [&](int out) {
        int on = 0;
        for (int i = 0; i < 500; ++i) {
            m.advance(0.002);
            on += m.pwmOutput(out);
        }
        return on / 500.0;
    };
    expectNear(dutyOf(0), 0.5, 0.05, "PWM 1 at half amplitude");
    EXPECT_EQ(dutyOf(1), 0.0);
    ms.write(reg::PwmState, {0x0004}); // output 1 inverse
    expectNear(dutyOf(0), 0.5, 0.05, "inverse PWM 1");
    EXPECT_EQ(dutyOf(1), 0.0);
    ms.write(reg::PwmState, {0x000A}); // discrete, output 2 on
    EXPECT_EQ(dutyOf(0), 0.0);
    EXPECT_EQ(dutyOf(1), 1.0);
    ms.write(reg::PwmState, {0x0002});
    ms.write(reg::OutputControl1, {reg::OutputOn});
    EXPECT_EQ(dutyOf(0), 1.0);
    ms.write(reg::PwmState, {0x0003}); // reset held wins
    EXPECT_EQ(dutyOf(0), 0.0);
}

TEST(SimPhysics, SameSeedSameNoise) {
    ModuleOptions o;
    o.seed = 42;
    Module a(o), b(o);
    a.connectInput(0, InputConnection{InputConnection::Open, 1, 0});
    b.connectInput(0, InputConnection{InputConnection::Open, 1, 0});
    bool varied = false;
    for (int i = 0; i < 50; ++i) {
        a.advance(0.01);
        b.advance(0.01);
        ASSERT_EQ(a.rawCount(0), b.rawCount(0));
        varied = varied || a.rawCount(0) != 2048;
    }
    EXPECT_TRUE(varied);
}
