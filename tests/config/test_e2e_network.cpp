// The program behind an Ethernet gateway: the port dialog opens a Modbus TCP
// address of the simulator, the supervision reads the configuration over it,
// and the values window updates periodically; the link's counts follow.
#include "Controls.h"
#include "SimulatorFixture.h"
#include "TryExpect.h"
#include "link/TParCOM.h"

#include "common/CheckBox.h"
#include "config/ModuleConfig.h"
#include "config/TPidConf.h"
#include "link/LinkStats.h"
#include "link/PortSettings.h"
#include "link/Settings.h"
#include "monitor/TPidVal.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <set>

namespace {

using qmt::test::Controls;

using ProgramOverTcp = qmt::test::OnSimulator<::testing::TestWithParam<const char*>>;

} // namespace

TEST_P(ProgramOverTcp, PortDialogConfigurationReadAndPeriodicUpdate) {
    const std::string framing = GetParam();
    const QString hostPort = start({"--tcp", "127.0.0.1:0", "--framing", framing});
    ASSERT_FALSE(hostPort.isEmpty());
    ASSERT_TRUE(sim.sendControl("set 264 3"));
    const QString address = (framing == "mbap" ? "tcp://" : "rtu+tcp://") + hostPort;

    qmt::Config = {};
    const QString ini =
        qmt::test::writeLinkSettings(dir, QStringLiteral("/dev/ttyQMT-missing"), 19200);
    ASSERT_FALSE(ini.isEmpty());
    qmt::setSettingsFilePath(ini);
    auto window = std::make_unique<TPidConf>(nullptr, ini);
    prompts.shown.clear();

    prompts.modalScripts.push_back(qmt::test::answer<TParCOM>([&](TParCOM& dialog) {
        Controls ui{dialog};
        dialog.show();
        ui.type("cbPort", address);
        EXPECT_FALSE(ui.combo("cbSpeed")->isEnabled());
        ui.click("btOk");
        return dialog.result();
    }));
    qmt::test::control<QAction>(window.get(), "miPortPar")->trigger();
    ASSERT_TRUE(prompts.shown.empty()) << prompts.lastText().toStdString();
    auto* status = qmt::test::control<QLabel>(window.get(), "PortStatusText");
    // The gateway's line is its own: the address and the framing, no baud rate.
    EXPECT_EQ(status->text(), QStringLiteral("Открыт: ") + address +
                                  (framing == "mbap" ? QStringLiteral("  Modbus TCP")
                                                     : QStringLiteral("  RTU поверх TCP")));

    // The supervision finds the module and reads its configuration.
    QMT_TRY_ASSERT_TIMEOUT(qmt::LinkUp, 5000);
    EXPECT_EQ(qmt::Config.pid[0].w[0], 3); // register 264 as the simulator holds it
    EXPECT_TRUE(prompts.shown.empty()) << prompts.lastText().toStdString();

    TPidVal values;
    values.edPerUpd->setText(QStringLiteral("200"));
    QTest::keyClick(values.edPerUpd, Qt::Key_Return);
    values.chbUpdate->userClick();
    std::set<QString> seen;
    QMT_TRY_ASSERT_TIMEOUT(
        (seen.insert(values.modValueText(1) + values.stateText(1, 1)), seen.size() >= 3), 8000);
    EXPECT_GE(seen.size(), 3u);
    values.chbUpdate->userClick();
    EXPECT_TRUE(prompts.shown.empty()) << prompts.lastText().toStdString();

    const qmt::LinkStatistics& stats = qmt::linkStatistics();
    EXPECT_GT(stats.good, 10u);
    EXPECT_EQ(stats.good, stats.requests);
    EXPECT_TRUE(status->toolTip().contains(QStringLiteral("Запросов: ")));
    qmt::test::control<QAction>(window.get(), "miLinkStats")->trigger();
    auto* shown = window->findChild<QDialog*>(QStringLiteral("LinkStats"));
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(shown->isVisible());
    EXPECT_EQ(qmt::test::control<QLabel>(shown, "lbStatGood")->text(), QString::number(stats.good));
    window.reset();
}

INSTANTIATE_TEST_SUITE_P(Framing, ProgramOverTcp, ::testing::Values("mbap", "rtu"));
