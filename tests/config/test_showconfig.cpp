// Setting the switches from the model: valid and invalid codes, the interlock
// through the handlers, and what reaches the module.
#include "PidConfFixture.h"

#include "link/RegisterMap.h"

namespace qmt::test {
namespace {

using Writes = std::vector<std::string>;

void setInSw(int n, int code) {
    Config.pid[n].w[reg::pid::InSw] = static_cast<uint16_t>(code);
}
int16_t inSw(int n) {
    return static_cast<int16_t>(Config.pid[n].w[reg::pid::InSw]);
}

TEST_F(PidConfTest, InvalidSetpointCodesAreReportedPerRegulator) {
    struct Case {
        int n, code;
    };
    // Own output, own input, and values outside the code range.
    for (const Case c : {Case{0, 1}, Case{0, 4}, Case{1, 2}, Case{1, 5}, Case{2, 3}, Case{2, 6},
                         Case{0, 7}, Case{2, -5}}) {
        window->miFileNewClick(); // every switch at MB
        prompts.shown.clear();
        setInSw(c.n, c.code);
        window->ShowConfig();
        ASSERT_EQ(prompts.shown.size(), 1u) << c.n << " " << c.code;
        const MessageBoxRequest& box = prompts.shown[0];
        EXPECT_EQ(box.text, QStringLiteral("Коммутатор уставки для ПИД-регулятора %1\n имеет "
                                           "некоррекное значение!")
                                .arg(c.n + 1));
        EXPECT_EQ(box.caption, QStringLiteral("Ошибка!"));
        EXPECT_EQ(box.icon, MsgIcon::None);
        EXPECT_EQ(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        EXPECT_EQ(
            window->findChild<RadioGroup*>(QStringLiteral("swpid%1").arg(c.n + 1))->itemIndex(), 5);
        EXPECT_EQ(inSw(c.n), -1);
    }
}

TEST_F(PidConfTest, InvalidCodeOnASwitchAlreadyOffStillBecomesNone) {
    setInSw(0, 1);
    window->ShowConfig();
    EXPECT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(inSw(0), -1);
}

TEST_F(PidConfTest, OutputCodeOutOfRangeClearsTheSwitchSilently) {
    for (int code : {7, -5}) {
        Config.SwOut = 2;
        window->ShowConfig();
        EXPECT_EQ(group("swout")->itemIndex(), 2);
        EXPECT_TRUE(shown("imInOut"));
        Config.SwOut = static_cast<uint16_t>(code);
        window->ShowConfig();
        EXPECT_EQ(group("swout")->itemIndex(), -1);
        EXPECT_EQ(static_cast<int16_t>(Config.SwOut), -1);
        EXPECT_FALSE(shown("imInOut"));
    }
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(PidConfTest, ShowConfigSendsOnlyChangedSwitches) {
    LinkUp = true;
    setInSw(0, 2);
    setInSw(1, 0);
    setInSw(2, -1);
    Config.SwOut = 1;
    window->ShowConfig();
    // swpid3 already shows "Откл.": nothing runs for it.
    EXPECT_EQ(module.writes(), (Writes{"264=2", "280=0", "312=1"}));

    module.clearLog();
    window->ShowConfig();
    EXPECT_TRUE(module.log.empty());

    module.clearLog();
    setInSw(1, 3);
    window->ShowConfig();
    EXPECT_EQ(module.writes(), (Writes{"280=3"}));
}

TEST_F(PidConfTest, ShowConfigRunsTheInterlock) {
    // ПИД1 takes FB2, so the 0 the model holds for ПИД2 cannot stand.
    setInSw(0, 5);
    setInSw(1, 0);
    setInSw(2, 0);
    window->ShowConfig();
    EXPECT_EQ(group("swpid1")->itemIndex(), 3);
    EXPECT_EQ(group("swpid2")->itemIndex(), 5);
    EXPECT_FALSE(group("swpid2")->isEnabled());
    EXPECT_EQ(inSw(1), -1);
    EXPECT_EQ(group("swpid3")->itemIndex(), 0);
    EXPECT_TRUE(prompts.shown.empty());

    // A later configuration without the input gives it back.
    setInSw(0, 0);
    setInSw(1, 1);
    window->ShowConfig();
    EXPECT_TRUE(group("swpid2")->isEnabled());
    EXPECT_EQ(group("swpid2")->itemIndex(), 1);
    EXPECT_TRUE(shown("FB2Image"));
    EXPECT_FALSE(shown("imFB2Out"));
}

TEST_F(PidConfTest, NewSetsTheSwitchesButNotTheMode) {
    click("rgMode", 1);
    Config.pid[0].w[reg::pid::Kp] = 7;
    window->miFileNewClick();
    EXPECT_EQ(Config.pid[0].w[reg::pid::Kp], 100);
    for (const char* name : {"swpid1", "swpid2", "swpid3", "swout"})
        EXPECT_EQ(group(name)->itemIndex(), 0) << name;
    EXPECT_EQ(group("rgMode")->itemIndex(), 1);
    EXPECT_EQ(Config.io[io::ModuleMode], 2);
    EXPECT_TRUE(window->ConfigFileName.isEmpty());
}

TEST(ModuleConfigTest, ResetKeepsTheModuleMode) {
    ModuleConfig c;
    c.io.fill(7);
    c.SwOut = 3;
    c.pid[2].w.fill(9);
    ResetConfig(c);
    EXPECT_EQ(c.io[io::ModuleMode], 7);
    EXPECT_EQ(c.SwOut, 0);
    const std::array<uint16_t, 14> pidNew = {0,     0,     0, 100, 65535, 0, 2,
                                             20000, 45536, 0, 0,   0,     0, 0};
    for (const PidBlock& b : c.pid)
        EXPECT_EQ(b.w, pidNew);
    const std::array<uint16_t, 20> ioNew = {40,  40,    40,    40, 0,   2,   2,     2,     2, 100,
                                            200, 60000, 20000, 0,  100, 200, 60000, 20000, 0, 7};
    EXPECT_EQ(c.io, ioNew);
}

} // namespace
} // namespace qmt::test
