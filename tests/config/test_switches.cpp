// The routing switches as the user clicks them: interlock of the inputs,
// markers and arrows, what reaches the module and when.
#include "PidConfFixture.h"

#include "link/Errors.h"
#include "link/RegisterMap.h"

namespace qmt::test {
namespace {

using Writes = std::vector<std::string>;

int16_t inSw(int n) {
    return static_cast<int16_t>(Config.pid[n].w[reg::pid::InSw]);
}

TEST_F(PidConfTest, StartsWithTheLayoutStateAndTheNewValues) {
    for (const char* name : {"swpid1", "swpid2", "swpid3"}) {
        EXPECT_EQ(group(name)->itemIndex(), 5) << name;
        EXPECT_TRUE(group(name)->isEnabled()) << name;
    }
    EXPECT_EQ(group("swout")->itemIndex(), -1);
    EXPECT_EQ(group("rgMode")->itemIndex(), -1);
    for (const char* name :
         {"imInPid1", "imInPid2", "imInPid3", "imInOut", "imFB1Out", "imFB2Out", "imFB3Out"})
        EXPECT_FALSE(shown(name)) << name;
    for (const char* name : {"FB1Image", "FB2Image", "FB3Image"})
        EXPECT_TRUE(shown(name)) << name;
    // The model holds the New values although the switches show "Откл.".
    EXPECT_EQ(Config.pid[1].w[reg::pid::Kp], 100);
    EXPECT_EQ(Config.pid[2].w[reg::pid::Ymin], static_cast<uint16_t>(-20000));
    EXPECT_EQ(Config.io[16], 60000);
    EXPECT_EQ(Config.io[io::ModuleMode], 0);
    EXPECT_TRUE(module.log.empty());
    EXPECT_TRUE(window->linkTimer()->objectName() == QStringLiteral("tmLink"));
    EXPECT_EQ(window->linkTimer()->interval(), 1000);
}

TEST_F(PidConfTest, TakingAnInputGivesBackTheThirdOneFirst) {
    LinkUp = true;
    click("swpid3", 0);
    click("swpid2", 4); // ПИД2 from FB3: ПИД3 out of service
    EXPECT_EQ(module.writes(), (Writes{"296=0", "296=65535", "280=6"}));
    EXPECT_FALSE(group("swpid3")->isEnabled());
    EXPECT_FALSE(shown("FB3Image"));
    EXPECT_TRUE(shown("imFB3Out"));
    module.clearLog();

    click("swpid1", 3); // ПИД1 from FB2: ПИД2 out, which gives FB3 back
    EXPECT_EQ(module.writes(), (Writes{"280=65535", "264=5"}));
    EXPECT_TRUE(shown("FB3Image"));
    EXPECT_FALSE(shown("imFB3Out"));
    EXPECT_TRUE(group("swpid3")->isEnabled());
    EXPECT_FALSE(group("swpid2")->isEnabled());
    EXPECT_EQ(group("swpid2")->itemIndex(), 5);
    EXPECT_FALSE(shown("imInPid2"));
    EXPECT_FALSE(shown("FB2Image"));
    EXPECT_TRUE(shown("imFB2Out"));
    EXPECT_EQ(inSw(0), reg::source::Fb2);
    EXPECT_EQ(inSw(1), reg::source::None);
    EXPECT_EQ(module.reg(264), 5);
    EXPECT_EQ(module.reg(280), 0xFFFF);
    EXPECT_EQ(window->PrevItem[0], 3);
    EXPECT_EQ(window->PrevItem[1], 5);

    // The disabled switch does not answer the user.
    module.clearLog();
    click("swpid2", 0);
    EXPECT_EQ(group("swpid2")->itemIndex(), 5);
    EXPECT_TRUE(module.log.empty());
}

TEST_F(PidConfTest, ChoosingAnotherSourceReleasesTheTakenInput) {
    click("swpid1", 3);
    click("swpid1", 0);
    EXPECT_TRUE(shown("FB2Image"));
    EXPECT_FALSE(shown("imFB2Out"));
    EXPECT_TRUE(group("swpid2")->isEnabled());
    EXPECT_EQ(group("swpid2")->itemIndex(), 5);
    EXPECT_EQ(inSw(1), -1);
    EXPECT_EQ(inSw(0), reg::source::Modbus);

    // From FB3 straight to FB2: FB3 comes back, FB2 goes.
    click("swpid1", 4);
    click("swpid1", 3);
    EXPECT_TRUE(shown("FB3Image"));
    EXPECT_TRUE(group("swpid3")->isEnabled());
    EXPECT_FALSE(shown("FB2Image"));
    EXPECT_FALSE(group("swpid2")->isEnabled());
    EXPECT_EQ(inSw(2), -1);

    click("swpid1", 5);
    EXPECT_EQ(inSw(0), -1);
    EXPECT_FALSE(shown("imInPid1"));
    EXPECT_TRUE(shown("FB2Image"));
}

// ПИД2 holds FB1; taking FB2 for ПИД1 puts ПИД2 out of service and so gives
// FB1 back to ПИД1, by a click or by ShowConfig.
TEST_F(PidConfTest, TakingTheInputOfTheRegulatorThatHeldOursGivesOursBack) {
    auto expectFb1Released = [&] {
        EXPECT_TRUE(group("swpid1")->isEnabled());
        EXPECT_TRUE(shown("FB1Image"));
        EXPECT_FALSE(shown("imFB1Out"));
        EXPECT_EQ(group("swpid1")->itemIndex(), 3);
        EXPECT_EQ(inSw(0), reg::source::Fb2);
        EXPECT_FALSE(group("swpid2")->isEnabled());
        EXPECT_EQ(group("swpid2")->itemIndex(), 5);
        EXPECT_EQ(inSw(1), reg::source::None);
        EXPECT_FALSE(shown("FB2Image"));
        EXPECT_TRUE(shown("imFB2Out"));
    };
    // ПИД1 from FB2 directly is what ShowConfig does with a switch that is disabled.
    click("swpid2", 3); // ПИД2 from FB1
    ASSERT_FALSE(group("swpid1")->isEnabled());
    Config.pid[0].w[reg::pid::InSw] = static_cast<uint16_t>(reg::source::Fb2);
    Config.pid[1].w[reg::pid::InSw] = static_cast<uint16_t>(reg::source::Fb1);
    window->ShowConfig();
    expectFb1Released();

    // And back: ПИД1 to MB gives FB2 back, everything is in service again.
    click("swpid1", 0);
    EXPECT_TRUE(group("swpid2")->isEnabled());
    EXPECT_TRUE(shown("FB2Image"));
    EXPECT_TRUE(shown("FB1Image"));
    EXPECT_FALSE(shown("imFB1Out"));
    EXPECT_FALSE(shown("imFB2Out"));

    // The reverse roles by clicks: ПИД1 holds FB2, ПИД2 then takes FB1.
    click("swpid1", 3);
    ASSERT_FALSE(group("swpid2")->isEnabled());
    Config.pid[1].w[reg::pid::InSw] = static_cast<uint16_t>(reg::source::Fb1);
    Config.pid[0].w[reg::pid::InSw] = static_cast<uint16_t>(reg::source::Fb2);
    // ПИД2 cannot be clicked while disabled; the programmatic change is the route.
    group("swpid2")->setItemIndex(3);
    EXPECT_TRUE(group("swpid2")->isEnabled());
    EXPECT_TRUE(shown("FB2Image"));
    EXPECT_FALSE(shown("imFB2Out"));
    EXPECT_FALSE(group("swpid1")->isEnabled());
    EXPECT_EQ(group("swpid1")->itemIndex(), 5);
    EXPECT_FALSE(shown("FB1Image"));
}

TEST_F(PidConfTest, MarkersPointAtTheSelectedItem) {
    for (int i = 0; i < 5; ++i) {
        click("swpid2", i);
        EXPECT_TRUE(shown("imInPid2"));
        EXPECT_EQ(control("imInPid2")->geometry(), QRect(269, 96 + 25 + 18 * i - 7 + 2, 14, 10));
    }
    for (int i = 0; i < 4; ++i) {
        click("swout", i);
        EXPECT_TRUE(shown("imInOut"));
        EXPECT_EQ(control("imInOut")->geometry(), QRect(630, 107 + 25 + 17 * i - 7 + 3, 14, 10));
        EXPECT_EQ(Config.SwOut, i);
    }
}

TEST_F(PidConfTest, WithTheLinkDownNothingIsSent) {
    click("swpid1", 1);
    click("swpid3", 4);
    click("swout", 2);
    click("rgMode", 1);
    EXPECT_TRUE(module.log.empty());
    EXPECT_EQ(inSw(0), reg::source::Pid2);
    EXPECT_EQ(inSw(2), reg::source::Fb2);
    EXPECT_EQ(inSw(1), reg::source::None);
    EXPECT_EQ(Config.SwOut, 2);
    EXPECT_EQ(Config.io[io::ModuleMode], 2);
}

TEST_F(PidConfTest, OutputSwitchAndModeReachTheModule) {
    LinkUp = true;
    click("swout", 3);
    EXPECT_EQ(module.writes(), (Writes{"312=3"}));
    module.clearLog();

    click("rgMode", 0);
    // The mode is protected: the write-enable code goes first.
    EXPECT_EQ(module.writes(), (Writes{"1912=27437", "60=1"}));
    EXPECT_EQ(module.reg(reg::ModuleMode), 1);
    EXPECT_EQ(Config.io[io::ModuleMode], 1);

    // Clicking the selected item again changes nothing and sends nothing.
    module.clearLog();
    click("rgMode", 0);
    click("swout", 3);
    EXPECT_TRUE(module.log.empty());
}

TEST_F(PidConfTest, FailedModeWriteKeepsTheOldMode) {
    LinkUp = true;
    click("rgMode", 0);
    module.failWhen = [](const Request& r) { return r.address == reg::ModuleMode ? 14 : 0; };
    click("rgMode", 1);
    EXPECT_EQ(group("rgMode")->itemIndex(), 1);
    EXPECT_EQ(Config.io[io::ModuleMode], 1);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, ECommError::messageFor(14));
    EXPECT_EQ(prompts.shown[0].caption, QStringLiteral("QMT584_View"));
}

TEST_F(PidConfTest, FailingNestedWriteSkipsTheRestOfTheClick) {
    LinkUp = true;
    click("swpid2", 0);
    module.clearLog();
    module.failWhen = [](const Request& r) {
        return r.function == 16 && r.address == 280 ? 14 : 0;
    };
    click("swpid1", 3);
    // Three attempts at 280, then nothing more: 264 is never written.
    EXPECT_EQ(requests(), (Writes{"16:280:1", "16:280:1", "16:280:1"}));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, ECommError::messageFor(14));
    // The model and the diagram keep the choice; PrevItem was not reached.
    EXPECT_EQ(inSw(0), reg::source::Fb2);
    EXPECT_EQ(group("swpid1")->itemIndex(), 3);
    EXPECT_EQ(window->PrevItem[0], 5);
    EXPECT_FALSE(group("swpid2")->isEnabled());
}

TEST_F(PidConfTest, FailingOwnWriteShowsOneMessage) {
    LinkUp = true;
    module.failWhen = [](const Request& r) { return r.address == 264 ? 2 : 0; };
    click("swpid1", 1);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, ECommError::messageFor(2));
    EXPECT_EQ(inSw(0), reg::source::Pid2);
    EXPECT_EQ(window->PrevItem[0], 1);
}

} // namespace
} // namespace qmt::test
