// Direct commands: regulator reset, integrators, module status, the PWM state
// register and the output control.
#include "PidValFixture.h"

#include <QLabel>

namespace qmt::test {
namespace {

TEST_F(PidValTest, RegulatorResetSetsItsBitOverWhatTheRegisterHolds) {
    module.setReg(1064, 0x0001);
    clickButton(window->btResPID2);
    EXPECT_EQ(module.writes(), std::vector<std::string>{"1064=3"});
    module.clearLog();
    module.setReg(1064, 0x0000);
    clickButton(window->btResPID3);
    clickButton(window->btResPID1);
    EXPECT_EQ(module.writes(), (std::vector<std::string>{"1064=4", "1064=5"}));

    module.clearLog();
    module.failWhen = [](const Request& r) { return r.function == 3 ? 14 : 0; };
    clickButton(window->btResPID1);
    EXPECT_TRUE(module.writes().empty());
    EXPECT_EQ(prompts.lastText(), "Нет ответа!");
}

TEST_F(PidValTest, IntegratorButtonsUseTheDisplayedStateAndNothingBeforeARead) {
    for (QPushButton* b : {window->btSetInt1, window->btSetInt2, window->btSetInt3})
        clickButton(b);
    EXPECT_TRUE(module.log.empty());
    EXPECT_TRUE(prompts.shown.empty());

    setLive(2, {0, 0, 0, 0x0005, 0, 0});
    setLive(3, {0, 0, 0, 0x8001, 0, 0});
    clickButton(window->btRead);
    setLive(2, {0, 0, 0, 0x0000, 0, 0}); // not read again
    module.clearLog();
    clickButton(window->btSetInt2);
    clickButton(window->btSetInt3);
    clickButton(window->btSetInt1);
    EXPECT_EQ(module.writes(), (std::vector<std::string>{"1051=13", "1059=32777", "1043=8"}));
    EXPECT_EQ(requests().size(), 3u);
}

TEST_F(PidValTest, ModuleStatusColoursItsLabels) {
    const QColor red(255, 0, 0), grey(128, 128, 128);
    struct Case {
        uint16_t status;
        QColor flash, checksum;
    };
    for (const Case& c : {Case{0x000C, red, red}, Case{0x0004, red, grey}, Case{0x0008, grey, red},
                          Case{0xFFF3, grey, grey}}) {
        SCOPED_TRACE(c.status);
        module.setReg(1028, c.status);
        clickButton(window->btReadStatus);
        EXPECT_EQ(window->lbErrFLASH->palette().color(QPalette::WindowText), c.flash);
        EXPECT_EQ(window->lbErrKS->palette().color(QPalette::WindowText), c.checksum);
    }
    EXPECT_TRUE(module.writes().empty());
}

TEST_F(PidValTest, OutputModeRelabelsAndWritesTheModeBit) {
    module.setReg(1072, 0x0009);
    EXPECT_FALSE(window->rgOut1->isEnabled());
    clickItem(window->rgModePWM, 1); // "Дискретный"
    EXPECT_EQ(module.writes(), std::vector<std::string>{"1072=11"});
    for (RadioGroup* g : {window->rgOut1, window->rgOut2}) {
        EXPECT_TRUE(g->isEnabled());
        EXPECT_EQ(g->itemText(0), "0");
        EXPECT_EQ(g->itemText(1), "1");
    }
    module.clearLog();
    clickItem(window->rgModePWM, 0);
    EXPECT_EQ(module.writes(), std::vector<std::string>{"1072=9"});
    EXPECT_EQ(window->rgOut2->itemText(0), "Прямой");
    EXPECT_EQ(window->rgOut2->itemText(1), "Инверсный");

    module.clearLog();
    module.setReg(1072, 0x0000);
    clickItem(window->rgOut1, 1);
    clickItem(window->rgOut2, 1);
    clickItem(window->rgOut1, 0);
    EXPECT_EQ(module.writes(), (std::vector<std::string>{"1072=4", "1072=12", "1072=8"}));
}

TEST_F(PidValTest, FailedModeReadLeavesTheOutputGroupsAlone) {
    module.failWhen = [](const Request& r) { return r.function == 3 ? 14 : 0; };
    clickItem(window->rgModePWM, 1);
    EXPECT_EQ(prompts.lastText(), "Нет ответа!");
    EXPECT_FALSE(window->rgOut1->isEnabled());
    EXPECT_EQ(window->rgOut1->itemText(0), "");
    EXPECT_EQ(window->rgModePWM->itemIndex(), 1); // the user's choice stays
}

TEST_F(PidValTest, ReadingThePwmStateSelectsThroughTheClickActions) {
    module.setReg(1072, 0x0006);
    clickButton(window->btReadPWM);
    EXPECT_EQ(window->rgModePWM->itemIndex(), 1);
    EXPECT_EQ(window->rgOut1->itemIndex(), 1);
    EXPECT_EQ(window->rgOut2->itemIndex(), 0);
    EXPECT_TRUE(window->rgOut1->isEnabled());
    EXPECT_TRUE(window->rgOut2->isEnabled());
    EXPECT_EQ(window->rgOut1->itemText(1), "1");
    // Every action re-reads and writes back the bits just read.
    EXPECT_EQ(module.writes(), (std::vector<std::string>{"1072=6", "1072=6", "1072=6"}));
    EXPECT_EQ(module.reg(1072), 0x0006);

    module.clearLog();
    clickButton(window->btReadPWM); // nothing changes: nothing is written
    EXPECT_TRUE(module.writes().empty());
}

TEST_F(PidValTest, PwmResetHoldsAndReleasesBitZero) {
    module.setReg(1072, 0x0004);
    clickButton(window->btSetResPWM);
    EXPECT_EQ(module.reg(1072), 0x0005);
    clickButton(window->btClearResPWM);
    EXPECT_EQ(module.writes(), (std::vector<std::string>{"1072=5", "1072=4"}));
}

TEST_F(PidValTest, OutputControlWritesTheCodeAndReadingWritesNothing) {
    clickItem(window->rgContrOut2, 1);
    clickItem(window->rgContrOut1, 0);
    EXPECT_EQ(module.writes(), (std::vector<std::string>{"1074=21845", "1073=43690"}));

    module.clearLog();
    module.setReg(1073, 1);
    module.setReg(1074, 0);
    clickButton(window->btReadOut);
    EXPECT_EQ(window->rgContrOut1->itemIndex(), 1);
    EXPECT_EQ(window->rgContrOut2->itemIndex(), 0);
    EXPECT_TRUE(module.writes().empty());
    EXPECT_EQ(requests(), std::vector<std::string>{"3:1073:2"});

    // The actions are back after the read.
    clickItem(window->rgContrOut1, 0);
    EXPECT_EQ(module.writes(), std::vector<std::string>{"1073=43690"});
}

} // namespace
} // namespace qmt::test
