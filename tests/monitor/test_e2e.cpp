// The values window with the real library and the simulator: live values
// change under periodic update, a regulator reset reaches the module, and an
// unplugged module stops periodic update with one message.
#include "SimulatorFixture.h"
#include "TryExpect.h"

#include "common/CheckBox.h"
#include "config/ModuleConfig.h"
#include "link/PortSettings.h"
#include "link/RegisterAccess.h"
#include "monitor/MonitorGrid.h"
#include "monitor/TPidVal.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <set>

namespace {

class PidValOnSimulator : public qmt::test::OnSimulator<> {
protected:
    void SetUp() override {
        OnSimulator::SetUp();
        qmt::Config = {};
        qmt::ResetConfig();
        ASSERT_FALSE(startEven().isEmpty());
        ASSERT_TRUE(openEven());
        window = std::make_unique<TPidVal>();
    }
    void TearDown() override {
        window.reset();
        OnSimulator::TearDown();
    }

    // Every value cell of the window as one text.
    QString snapshot() const {
        QString all;
        for (int p = 1; p <= 3; ++p)
            for (int row = 1; row <= 7; ++row)
                all += window->stateText(p, row) + QLatin1Char(' ');
        for (int row = 1; row <= 4; ++row)
            all += window->modValueText(row) + QLatin1Char(' ');
        return all;
    }

    void startPeriodic(const QString& period) {
        window->edPerUpd->setText(period);
        QTest::keyClick(window->edPerUpd, Qt::Key_Return);
        window->chbUpdate->userClick();
    }

    std::unique_ptr<TPidVal> window;
};

TEST_F(PidValOnSimulator, PeriodicUpdateShowsChangingLiveValues) {
    startPeriodic(QStringLiteral("200"));
    ASSERT_EQ(window->tmUpdate->interval(), 200);
    std::set<QString> seen;
    QMT_TRY_ASSERT_TIMEOUT((seen.insert(snapshot()), seen.size() >= 4), 8000);
    EXPECT_TRUE(prompts.shown.empty()) << prompts.lastText().toStdString();
    EXPECT_FALSE(window->modValueText(1).isEmpty());
    window->chbUpdate->userClick();
}

TEST_F(PidValOnSimulator, RegulatorResetReachesTheModule) {
    QTest::mouseClick(window->btResPID2, Qt::LeftButton);
    ASSERT_TRUE(prompts.shown.empty()) << prompts.lastText().toStdString();
    bool written = false;
    for (const std::string& line : sim.traceLines()) {
        // Function 16 to register 1064, one word, whose low byte has bit 1 set.
        const std::string head = "< 01 10 04 28 00 01 02 ";
        if (line.rfind(head, 0) == 0 && line.size() >= head.size() + 5) {
            const int low = std::stoi(line.substr(head.size() + 3, 2), nullptr, 16);
            written = written || (low & 0x02);
        }
    }
    EXPECT_TRUE(written);
}

TEST_F(PidValOnSimulator, UnpluggedModuleStopsPeriodicUpdateWithOneMessage) {
    startPeriodic(QStringLiteral("200"));
    QMT_TRY_ASSERT_TIMEOUT(!window->modValueText(4).isEmpty(), 5000);
    ASSERT_TRUE(sim.sendControl("silent on"));
    QMT_TRY_ASSERT_TIMEOUT(!window->chbUpdate->checked(), 10000);
    EXPECT_FALSE(window->tmUpdate->isActive());
    QTest::qWait(600);
    EXPECT_EQ(prompts.texts(), QStringList{QStringLiteral("Нет ответа!")});
}

} // namespace
