// The regulator is never left in forced output: every way a bump test ends
// writes back the saved control word and forced value, read back before the
// regulator is free again, and nothing else reaches it meanwhile.
#include "BumpOnSimulator.h"

#include "link/Errors.h"
#include "link/RegisterMap.h"
#include "link/RegulatorHold.h"

#include <QSignalSpy>
#include <QTest>

using namespace qmt;
using namespace qmt::tune;

namespace {

constexpr uint16_t kControl = reg::PidWord(0, reg::pid::PIDControl);
constexpr uint16_t kXfo = reg::LiveBlock(0) + reg::live::Xfo;

class Restore : public test::BumpOnSimulator {
protected:
    // A slow plant, a saved state that is not the default: dead zone on, a forced value.
    void SetUp() override {
        BumpOnSimulator::SetUp();
        startWith({"--plant", "1:1,5,0.5", "--time-scale", "10"});
        WriteRegister(kControl, reg::pid::DeadZoneActive);
        WriteRegister(kXfo, uint16_t(int16_t(-123)));
    }
    void start(BumpTest& bump) {
        BumpSetup setup;
        setup.outputStep = 500;
        setup.maxTime = 300;
        bump.start(setup);
    }
    // The trace's writes after the test's start to control and forced value.
    void expectRestored() {
        EXPECT_EQ(sim.registerValue(kControl), reg::pid::DeadZoneActive);
        EXPECT_EQ(int16_t(sim.registerValue(kXfo)), -123);
        const std::vector<std::string> w = writes();
        ASSERT_GE(w.size(), 4u);
        // the last two: the control word (forced output was off), then the value
        EXPECT_EQ(w[w.size() - 2].substr(0, 23), "< 01 10 01 12 00 01 02 ");
        EXPECT_EQ(w[w.size() - 2].substr(23, 5), "00 04");
        EXPECT_EQ(w.back().substr(0, 28), "< 01 10 04 14 00 01 02 FF 85");
    }
    test::ScaledClock clock{10};
};

TEST_F(Restore, OnCancelAndOnDestruction) {
    for (bool cancel : {true, false}) {
        SCOPED_TRACE(cancel ? "cancel" : "destroyed mid-test");
        {
            BumpTest bump;
            start(bump);
            QTRY_VERIFY(bump.stepped());
            EXPECT_TRUE(regulatorHeld(1, 0));
            if (cancel) {
                bump.cancel();
                EXPECT_EQ(bump.end(), BumpTest::End::Cancelled);
                EXPECT_FALSE(bump.restorePending());
            }
        }
        EXPECT_FALSE(regulatorHeld(1, 0));
        expectRestored();
    }
}

TEST_F(Restore, AfterALostLinkAsSoonAsItAnswers) {
    BumpTest bump;
    QSignalSpy pending(&bump, &BumpTest::restoreChanged);
    start(bump);
    QTRY_VERIFY(bump.stepped());
    ASSERT_TRUE(sim.sendControl("silent on"));
    QTRY_COMPARE_WITH_TIMEOUT(bump.phase(), BumpTest::Phase::Restoring, 5000);
    EXPECT_EQ(bump.end(), BumpTest::End::LinkLost);
    EXPECT_TRUE(bump.restorePending());
    // Meanwhile nothing else reaches the regulator, and says why.
    try {
        WriteRegister(reg::PidWord(0, reg::pid::Kp), 200);
        ADD_FAILURE() << "a write reached the held regulator";
    } catch (const Exception& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("ПИД1 в опыте настройки")));
    }
    ASSERT_TRUE(sim.sendControl("silent off"));
    QTRY_VERIFY_WITH_TIMEOUT(!bump.restorePending(), 5000);
    EXPECT_EQ(pending.last().at(0).toBool(), false);
    expectRestored();
}

TEST_F(Restore, AStepPastTheLimitsIsRefusedBeforeAnyWrite) {
    WriteRegister(reg::PidWord(0, reg::pid::Ymax), 100);
    const size_t before = writes().size();
    BumpTest bump;
    BumpSetup setup;
    setup.outputStep = 30000;
    try {
        bump.start(setup);
        ADD_FAILURE() << "started";
    } catch (const Exception& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("больше верхней границы Ymax = 100")))
            << e.message().toStdString();
    }
    EXPECT_EQ(writes().size(), before);
    EXPECT_FALSE(regulatorHeld(1, 0));
}

} // namespace
