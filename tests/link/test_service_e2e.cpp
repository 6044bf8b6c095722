// The module's own line settings changed through "Служебные настройки модуля..."
// with the real library against the simulator: all three go out at the old
// settings, the module takes them at its restart, and the program reaches it
// again once the port dialog has the new ones.
#include "Controls.h"
#include "SimulatorFixture.h"
#include "config/TPidConf.h"
#include "dialogs/TModPars.h"
#include "link/PortSettings.h"
#include "link/Settings.h"
#include "link/TParCOM.h"

#include <QAction>
#include <QLabel>
#include <QStatusBar>

#include <gtest/gtest.h>

#include <functional>

namespace {

using qmt::test::control;
using qmt::test::Controls;

class ServiceSettingsOnSimulator : public qmt::test::OnSimulator<> {
protected:
    // Runs a menu command whose modal window the script drives.
    void run(TPidConf& window, const char* command, std::function<int(QDialog*)> script) {
        if (script) prompts.modalScripts.push_back(std::move(script));
        QAction* action = control<QAction>(&window, command);
        ASSERT_NE(action, nullptr);
        action->trigger();
    }
    static QString statusText(TPidConf& window) {
        QStatusBar* bar = control<QStatusBar>(&window, "StatusBar");
        return bar ? control<QLabel>(bar, "PortStatusText")->text() : QString();
    }
};

TEST_F(ServiceSettingsOnSimulator, NewAddressAndSpeedReachedAfterRestartAndPortChange) {
    ASSERT_FALSE(startEven().isEmpty());
    const QString ini = settingsFile();
    ASSERT_FALSE(ini.isEmpty());
    qmt::setSettingsFilePath(ini); // where the port dialog's OK writes
    TPidConf window(nullptr, ini);

    // Read, change address, speed and parity, write; the password is refused,
    // so only the line settings are written.
    run(window, "miComServPar", qmt::test::answer<TModPars>([](TModPars& dialog) {
            dialog.show();
            QTest::mouseClick(dialog.btRead, Qt::LeftButton);
            EXPECT_EQ(dialog.edAdress->text(), QStringLiteral("1"));
            EXPECT_EQ(dialog.cbSpeed->currentText(), QStringLiteral("19200"));
            EXPECT_EQ(dialog.cbParity->currentText(), QStringLiteral("Even"));
            dialog.edAdress->setText(QStringLiteral("7"));
            dialog.cbSpeed->setCurrentIndex(dialog.cbSpeed->findText(QStringLiteral("9600")));
            dialog.cbParity->setCurrentIndex(dialog.cbParity->findText(QStringLiteral("None")));
            QTest::mouseClick(dialog.btWrite, Qt::LeftButton);
            return int(QDialog::Rejected);
        }));
    EXPECT_TRUE(prompts.shown.empty()) << prompts.lastText().toStdString();
    EXPECT_EQ(sim.registerValue(257), 7);
    EXPECT_EQ(sim.registerValue(258), 96);
    EXPECT_EQ(sim.registerValue(259), 0);

    // Until the module restarts it keeps answering at the old settings.
    run(window, "miReadResCount", nullptr);
    EXPECT_EQ(prompts.lastText(), QStringLiteral("Значение счетчика\nрестартов равно 1"));
    ASSERT_TRUE(sim.sendControl("restart"));
    prompts.shown.clear();
    run(window, "miReadResCount", nullptr);
    EXPECT_EQ(prompts.lastText(), QStringLiteral("Нет ответа!"));

    run(window, "miPortPar", qmt::test::answer<TParCOM>([&](TParCOM& dialog) {
            Controls ui{dialog};
            dialog.show();
            ui.fill({{"cbSpeed", QStringLiteral("9600")},
                     {"cbParity", QStringLiteral("None")},
                     {"edAddress", QStringLiteral("7")}});
            ui.click("btOk");
            return dialog.result();
        }));
    EXPECT_EQ(statusText(window), QStringLiteral("Открыт: ") + link + "  9600 бод   None");
    EXPECT_EQ(qmt::PortSettings.address, 7);
    prompts.shown.clear();
    run(window, "miReadResCount", nullptr);
    EXPECT_EQ(prompts.texts(), QStringList{QStringLiteral("Значение счетчика\nрестартов равно 2")});
}

} // namespace
