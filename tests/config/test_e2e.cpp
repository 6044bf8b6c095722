// The main window with the real library and the simulator: the supervision
// reads the configuration by itself, again after a silence, and a switch
// reaches the module's registers.
#include "Controls.h"
#include "MainWindowOnSimulator.h"
#include "TryExpect.h"

#include "common/RadioGroup.h"
#include "config/ModuleConfig.h"
#include "config/TPidConf.h"

#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

// The request that reads the first half of ПИД1's block: every configuration read.
constexpr const char* ConfigRead = "< 01 03 01 08 00 07";

class PidConfOnSimulator : public qmt::test::MainWindowOnSimulator<> {
protected:
    void SetUp() override {
        MainWindowOnSimulator::SetUp();
        startWindow({}, {"set 264 3", "set 312 1"});
    }

    int configReads() const {
        int n = 0;
        for (const std::string& line : sim.traceLines())
            n += line.rfind(ConfigRead, 0) == 0;
        return n;
    }
    qmt::RadioGroup* group(const char* name) {
        return qmt::test::control<qmt::RadioGroup>(window.get(), name);
    }
};

TEST_F(PidConfOnSimulator, ReadsTheConfigurationByItselfAndAfterASilence) {
    QMT_TRY_ASSERT_TIMEOUT(qmt::LinkUp, 5000);
    EXPECT_EQ(configReads(), 1);
    EXPECT_EQ(group("swpid1")->itemIndex(), 2); // code 3: ПИД3
    EXPECT_EQ(group("swout")->itemIndex(), 1);
    EXPECT_TRUE(prompts.shown.empty()) << prompts.lastText().toStdString();

    ASSERT_TRUE(sim.sendControl("silent on"));
    QMT_TRY_ASSERT_TIMEOUT(!qmt::LinkUp, 5000);
    ASSERT_TRUE(sim.sendControl("set 312 3"));
    ASSERT_TRUE(sim.sendControl("silent off"));
    QMT_TRY_ASSERT_TIMEOUT(qmt::LinkUp, 5000);
    EXPECT_EQ(configReads(), 2);
    EXPECT_EQ(group("swout")->itemIndex(), 3);
    EXPECT_TRUE(prompts.shown.empty()) << prompts.lastText().toStdString();
}

TEST_F(PidConfOnSimulator, SwitchReachesTheModule) {
    QMT_TRY_ASSERT_TIMEOUT(qmt::LinkUp, 5000);
    qmt::test::choose(group("swpid1"), 3); // FB2
    EXPECT_TRUE(prompts.shown.empty()) << prompts.lastText().toStdString();
    EXPECT_EQ(sim.registerValue(264), 5);
    EXPECT_EQ(sim.registerValue(280), 0xFFFF);
}

} // namespace
