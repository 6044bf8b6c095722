// Both calibration sequences with the real library against the simulator: the
// test plays the engineer, reading the output off the simulator as a meter
// would, rewiring its inputs between steps, and at the end checks the eight
// coefficient blocks the simulator holds.
#include "SimulatorFixture.h"
#include "WizardDriver.h"

#include "dialogs/PackedDate.h"
#include "link/RegisterAccess.h"

#include <map>

namespace qmt::test {
namespace {

using Block = std::array<uint16_t, 3>;

class CalibrationOnSimulator : public OnSimulator<> {
protected:
    void start(const char* type) {
        ASSERT_FALSE(startEven({"--type", type}).isEmpty());
        ASSERT_TRUE(openEven());
        Password = new TPassword;
    }
    void TearDown() override {
        delete Password;
        Password = nullptr;
        OnSimulator::TearDown();
    }

    Block block(std::map<std::string, double>& image, int first) {
        return {uint16_t(image[std::to_string(first)]), uint16_t(image[std::to_string(first + 1)]),
                uint16_t(image[std::to_string(first + 2)])};
    }
    // The block some pair of readings within two counts of the nominal ones gives.
    static bool nearNominal(const Block& b, double x1, int r1, double x2, int r2) {
        for (int d1 = -2; d1 <= 2; ++d1)
            for (int d2 = -2; d2 <= 2; ++d2)
                if (CalibrationBlock(x1, r1 + d1, x2, r2 + d2) == b) return true;
        return false;
    }
    void reading(int nominal, const char* quantity) {
        wizard.step([this, nominal, quantity](TCalibr1* d) {
            EXPECT_NEAR(sim.dump()[quantity], nominal, 1.0) << d->windowTitle().toStdString();
            d->Edit1->setText(QString::number(nominal));
        });
    }
    void control(const std::string& command) {
        wizard.step(
            [this, command](TCalibr1*) { EXPECT_TRUE(sim.sendControl(command)) << command; });
    }
    void expectCleanEnd() {
        ASSERT_EQ(prompts.shown.size(), 1u) << prompts.lastText().toStdString(); // the confirmation
        EXPECT_EQ(PortSettings.address, 1);
        EXPECT_EQ(Calibr1, nullptr);
        // The port is open again with the program's own settings.
        EXPECT_TRUE(guarded([] { ReadRegister(0); }));
    }

    FakeClock clock;
    QWidget owner;
    WizardDriver wizard{prompts};
};

const uint16_t Today = PackDate(QDate(2026, 12, 9));

TEST_F(CalibrationOnSimulator, OutputAndInputs) {
    start("2");
    wizard.password();
    reading(421, "output_uA");
    reading(20000, "output_uA");
    reading(-9830, "output_mV");
    reading(9830, "output_mV");
    for (int in = 1; in <= 3; ++in)
        control("wire " + std::to_string(in) + " voltage +");
    for (int in = 1; in <= 3; ++in) {
        control("wire " + std::to_string(in) + " current +");
        control("wire " + std::to_string(in) + " current -");
    }
    wizard.step();
    ASSERT_TRUE(wizard.run(&owner)) << prompts.lastText().toStdString();
    ASSERT_EQ(wizard.captions.size(), 14u);
    expectCleanEnd();

    auto image = sim.dump();
    EXPECT_EQ(block(image, 36), (Block{51116, 0, 0}));
    EXPECT_EQ(block(image, 20), (Block{52428, 0, 8192}));
    for (int in = 0; in < 3; ++in) {
        EXPECT_TRUE(nearNominal(block(image, 8 + 4 * in), -9980, 272, 9980, 3824)) << in;
        EXPECT_TRUE(nearNominal(block(image, 24 + 4 * in), 19960, 3587, -19960, 509)) << in;
    }
    EXPECT_EQ(image["256"], Today);
}

TEST_F(CalibrationOnSimulator, InputsOnly) {
    start("8");
    wizard.password();
    for (int in = 1; in <= 3; ++in)
        for (const char* mv : {"10000", "-10000"})
            control("source " + std::to_string(in) + " mV " + mv);
    for (int in = 1; in <= 3; ++in)
        for (const char* ua : {"20000", "-20000"})
            control("source " + std::to_string(in) + " uA " + ua);
    wizard.step();
    ASSERT_TRUE(wizard.run(&owner)) << prompts.lastText().toStdString();
    ASSERT_EQ(wizard.captions.size(), 13u);
    expectCleanEnd();

    auto image = sim.dump();
    for (int in = 0; in < 3; ++in) {
        // 40706, 5, 54024 at the exact counts 3827 and 269.
        EXPECT_TRUE(nearNominal(block(image, 8 + 4 * in), 10000, 3827, -10000, 269)) << in;
        EXPECT_TRUE(nearNominal(block(image, 24 + 4 * in), 20000, 3590, -20000, 506)) << in;
    }
    EXPECT_EQ(block(image, 20), (Block{0, 1, 0}));
    EXPECT_EQ(block(image, 36), (Block{0, 1, 0}));
    EXPECT_EQ(image["256"], Today);
}

} // namespace
} // namespace qmt::test
