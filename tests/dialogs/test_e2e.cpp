// The parameter dialogs opened from the main window, with the real library
// against the simulator: what "Записать" sends lands in the module's registers.
#include "DialogFixture.h"
#include "MainWindowOnSimulator.h"
#include "TryExpect.h"

#include "config/TPidConf.h"
#include "dialogs/TInParam.h"
#include "dialogs/TPidParam.h"
#include "dialogs/TfOutParam.h"
#include "link/Forms.h"

#include <QTimer>

#include <memory>

namespace qmt::test {
namespace {

class DialogsOnSimulator : public MainWindowOnSimulator<> {
protected:
    void SetUp() override {
        MainWindowOnSimulator::SetUp();
        startWindow();
        if (HasFatalFailure()) return;
        PidParam = new TPidParam;
        InParam = new TInParam;
        fOutParam = new TfOutParam;
        // The supervision reads the configuration once the module answers.
        QMT_TRY_ASSERT_TIMEOUT(LinkUp, 5000);
        window->linkTimer()->stop();
    }
    void TearDown() override {
        delete PidParam;
        delete InParam;
        delete fOutParam;
        PidParam = nullptr;
        InParam = nullptr;
        fOutParam = nullptr;
        MainWindowOnSimulator::TearDown();
    }

    // Clicks a block of the diagram; script works the dialog it opens.
    void open(const char* block, std::function<void(QDialog*)> script) {
        bool ran = false;
        prompts.modalScripts.push_back([&](QDialog* d) {
            ran = true;
            script(d);
            return int(QDialog::Rejected);
        });
        QTest::mouseClick(control<QWidget>(window.get(), block), Qt::LeftButton);
        EXPECT_TRUE(ran) << block;
    }

    FakeClock clock; // the 100 ms waits between PID writes
};

TEST_F(DialogsOnSimulator, PidTwoReadEditAndWrite) {
    ASSERT_TRUE(sim.sendControl("set 283 125"));
    ASSERT_TRUE(sim.sendControl("set 285 33"));
    const long before281 = sim.registerValue(281);
    open("pid2", [&](QDialog* d) {
        EXPECT_EQ(d, static_cast<QDialog*>(PidParam));
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Параметры - ПИД2"));
        click(d, "btRead");
        EXPECT_EQ(text(d, "ed3"), QStringLiteral("1,25"));
        EXPECT_EQ(text(d, "ed5"), QStringLiteral("3,3"));
        type(d, "ed3", QStringLiteral("2,34"));
        type(d, "ed4", QStringLiteral("300"));
        click(d, "btSend");
    });
    EXPECT_TRUE(prompts.shown.empty()) << prompts.lastText().toStdString();
    EXPECT_EQ(sim.registerValue(283), 234);
    EXPECT_EQ(sim.registerValue(284), 150);
    EXPECT_EQ(sim.registerValue(285), 33);
    EXPECT_EQ(sim.registerValue(281), before281);
    EXPECT_EQ(Config.pid[1].w[3], 234);
    EXPECT_EQ(Config.pid[1].w[4], 150);
    EXPECT_EQ(clock.sleeps, std::vector<int>(13, 100));
}

TEST_F(DialogsOnSimulator, InputThreeWritesTimeAndMode) {
    open("paFB3", [&](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Параметры входа 3"));
        type(d, "edTime", QStringLiteral("120"));
        choose(d, "rgMode", 0);
        click(d, "btSend");
    });
    EXPECT_TRUE(prompts.shown.empty()) << prompts.lastText().toStdString();
    EXPECT_EQ(sim.registerValue(50), 120);
    EXPECT_EQ(sim.registerValue(58), 1);
    EXPECT_EQ(Config.io[2], 120);
}

TEST_F(DialogsOnSimulator, OutputWritesTheDacAndThePwmChannels) {
    open("Out", [&](QDialog* d) {
        click(d, "btReadPWM");
        type(d, "edTpwm1", QStringLiteral("5000"));
        type(d, "edY2", QStringLiteral("-3"));
        click(d, "btWritePWM");
        choose(d, "rgMode", 1);
        type(d, "edTime", QStringLiteral("25"));
        type(d, "edBegVal", QStringLiteral("-500"));
        click(d, "btSendDAC");
    });
    EXPECT_TRUE(prompts.shown.empty()) << prompts.lastText().toStdString();
    EXPECT_EQ(sim.registerValue(322), 5000);
    EXPECT_EQ(sim.registerValue(332), 65533);
    EXPECT_EQ(sim.registerValue(51), 25);
    EXPECT_EQ(sim.registerValue(52), 65036);
    EXPECT_EQ(sim.registerValue(59), 2);
}

} // namespace
} // namespace qmt::test
