#pragma once
// The calibration wizard on the fake module, for the tests of both sequences:
// a meter and sources on the simulated output and inputs, the coefficient
// blocks as the module holds them, and the port as the run leaves it.

#include "WizardDriver.h"

#include <string>
#include <vector>

namespace qmt::test {

using sim::InputConnection;
using Writes = std::vector<std::string>;

inline InputConnection wired(InputConnection::Kind kind, int polarity) {
    InputConnection c;
    c.kind = kind;
    c.polarity = polarity;
    return c;
}

inline InputConnection source(InputConnection::Kind kind, double value) {
    InputConnection c;
    c.kind = kind;
    c.value = value;
    return c;
}

inline constexpr uint16_t Today = 9 + 32 + 12 * 64 + 26 * 1024; // the fake clock's 9 December 2026

class WizardTest : public ServiceTest {
protected:
    explicit WizardTest(uint16_t type = 2) : ServiceTest(options(type)) {}
    static sim::ModuleOptions options(uint16_t type) {
        sim::ModuleOptions o;
        o.type = type;
        return o;
    }
    void SetUp() override {
        ServiceTest::SetUp();
        PortSettings.portName = QStringLiteral("/dev/ttyUSB3");
        PortSettings.baud = 9600;
        PortSettings.parity = 0;
        // Other values than the neutral ones, to see what the wizard writes.
        for (uint16_t b = 8; b <= 36; b += 4)
            for (uint16_t w = 0; w < 3; ++w)
                module.setReg(b + w, 7);
    }

    double microamps() { return module.module().outputMicroamps(); }
    double millivolts() { return module.module().outputMillivolts(); }
    void connect(int input, const InputConnection& c) { module.module().connectInput(input, c); }
    std::vector<uint16_t> block(uint16_t first) const {
        return {module.reg(first), module.reg(first + 1), module.reg(first + 2)};
    }
    // A reading of the calibrated module through its own coefficients.
    int16_t valueAt(int input, uint16_t mode, const InputConnection& c) {
        module.setReg(56 + input, mode);
        connect(input, c);
        return static_cast<int16_t>(module.reg(1024 + input));
    }

    // The four typed steps of the output-and-inputs sequence with an ideal meter.
    void measureOutput() {
        wizard.typeReading(421, [this] { return microamps(); });
        wizard.typeReading(20000, [this] { return microamps(); });
        wizard.typeReading(-9830, [this] { return millivolts(); });
        wizard.typeReading(9830, [this] { return millivolts(); });
    }
    void wireVoltage(int input) {
        wizard.step(
            [this, input](TCalibr1*) { connect(input, wired(InputConnection::VoltageOutput, 1)); });
    }
    void wireCurrent(int input, int polarity) {
        wizard.step([this, input, polarity](TCalibr1*) {
            connect(input, wired(InputConnection::CurrentOutput, polarity));
        });
    }
    // Steps 4 to 12: the output into each input, voltage, then current both ways.
    void wireInputs() {
        for (int i = 0; i < 3; ++i)
            wireVoltage(i);
        for (int i = 0; i < 3; ++i) {
            wireCurrent(i, 1);
            wireCurrent(i, -1);
        }
    }
    void checkPortRestored() const {
        ASSERT_GE(module.opens.size(), 2u);
        EXPECT_EQ(module.opens.front().baud, 19200u);
        EXPECT_EQ(module.opens.front().parity, 2);
        EXPECT_EQ(module.opens.back().port, "/dev/ttyUSB3");
        EXPECT_EQ(module.opens.back().baud, 9600u);
        EXPECT_EQ(module.opens.back().parity, 0);
        EXPECT_EQ(Calibr1, nullptr);
    }

    QWidget owner;
    WizardDriver wizard{prompts};
};

class InputsOnlyWizardTest : public WizardTest {
protected:
    InputsOnlyWizardTest() : WizardTest(8) {}
};

} // namespace qmt::test
