// The main window's port status with the real library and the simulator: at
// start from the settings file, and after the port dialog of "Настройки...".
#include "Controls.h"
#include "FakeUi.h"
#include "SimulatorFixture.h"
#include "config/TPidConf.h"
#include "link/PortSettings.h"
#include "link/PortStatus.h"
#include "link/Settings.h"
#include "link/TParCOM.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QStatusBar>

#include <gtest/gtest.h>

namespace {

using qmt::test::Controls;

class MainWindowPort : public qmt::test::OnSimulator<> {
protected:
    void SetUp() override {
        OnSimulator::SetUp();
        iniPath = dir.filePath(QStringLiteral("QMT584_View.ini"));
    }

    void writeSettings(const QString& port, int baud, int parity) {
        QFile f(iniPath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("[Port]\nName=%1\nBaud=%2\nParity=%3\n")
                    .arg(port)
                    .arg(baud)
                    .arg(parity)
                    .toUtf8());
    }
    static QString statusText(TPidConf& window) {
        QStatusBar* bar = qmt::test::control<QStatusBar>(&window, "StatusBar");
        return bar ? qmt::test::control<QLabel>(bar, "PortStatusText")->text() : QString();
    }
    static bool glyphIs(TPidConf& window, int lamp) {
        auto* glyph = qmt::test::control<QLabel>(&window, "PortStatusGlyph");
        return glyph && glyph->pixmap().toImage() == qmt::PortStatusImage(lamp).toImage();
    }

    QString iniPath;
};

TEST_F(MainWindowPort, StartsWithThePortOfTheSettingsFileOpen) {
    ASSERT_FALSE(startEven().isEmpty());
    writeSettings(link, 19200, 2);
    TPidConf window(nullptr, iniPath);
    EXPECT_TRUE(prompts.shown.empty()) << prompts.lastText().toStdString();
    EXPECT_EQ(statusText(window), QStringLiteral("Открыт: ") + link + "  19200 бод   Even");
    EXPECT_TRUE(glyphIs(window, qmt::LampGreen));
}

TEST_F(MainWindowPort, StartsWithAMissingPortShownClosed) {
    writeSettings(QStringLiteral("/dev/ttyQMT-missing"), 9600, 1);
    TPidConf window(nullptr, iniPath);
    EXPECT_EQ(prompts.texts(), QStringList{QStringLiteral("Невозможно открыть /dev/ttyQMT-missing\n"
                                                          "нет такого устройства")});
    EXPECT_EQ(statusText(window), QStringLiteral("Закрыт: /dev/ttyQMT-missing  9600 бод   Odd"));
    EXPECT_TRUE(glyphIs(window, qmt::LampRed));
}

TEST_F(MainWindowPort, PortSettingsCommandReopensAndUpdatesTheStatus) {
    ASSERT_FALSE(start({"--baud", "9600", "--parity", "none"}).isEmpty());
    writeSettings(QStringLiteral("/dev/ttyQMT-missing"), 19200, 2);
    qmt::setSettingsFilePath(iniPath); // where OK writes
    TPidConf window(nullptr, iniPath);
    prompts.shown.clear();

    prompts.modalScripts.push_back(qmt::test::answer<TParCOM>([&](TParCOM& dialog) {
        Controls ui{dialog};
        dialog.show();
        ui.type("cbPort", link);
        ui.choose("cbSpeed", QStringLiteral("9600"));
        ui.choose("cbParity", QStringLiteral("None"));
        ui.click("btOk");
        return dialog.result();
    }));
    QAction* command = qmt::test::control<QAction>(&window, "miPortPar");
    ASSERT_NE(command, nullptr);
    command->trigger();
    qmt::setSettingsFilePath(QString());

    EXPECT_TRUE(prompts.shown.empty()) << prompts.lastText().toStdString();
    EXPECT_EQ(statusText(window), QStringLiteral("Открыт: ") + link + "  9600 бод   None");
    EXPECT_TRUE(glyphIs(window, qmt::LampGreen));
    QFile file(iniPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()),
              QStringLiteral("[Port]\nName=") + link +
                  "\nBaud=9600\nParity=0\n[Station]\nAddress=1\n");
}

// A port that cannot be opened at OK, then "Отмена": the library had closed the
// old port already, so the window opens it again and shows what became of it.
TEST_F(MainWindowPort, CancelAfterAFailedOkReopensTheLastGoodPort) {
    ASSERT_FALSE(startEven().isEmpty());
    writeSettings(link, 19200, 2);
    TPidConf window(nullptr, iniPath);
    QAction* portCommand = qmt::test::control<QAction>(&window, "miPortPar");
    QAction* readCounter = qmt::test::control<QAction>(&window, "miReadResCount");
    ASSERT_TRUE(portCommand && readCounter);
    auto failThenCancel = qmt::test::answer<TParCOM>([&](TParCOM& dialog) {
        Controls ui{dialog};
        dialog.show();
        ui.type("cbPort", QStringLiteral("/dev/ttyQMT-missing"));
        ui.click("btOk");
        EXPECT_TRUE(dialog.isVisible()); // a failed OK keeps the dialog open
        ui.click("btCancel");
        return dialog.result();
    });

    struct Case {
        const char* what;
        bool simulatorGone; // the last good port has vanished meanwhile
        QString status;
        int lamp;
        QStringList messages;
    };
    const QString missing =
        QStringLiteral("Невозможно открыть /dev/ttyQMT-missing\nнет такого устройства");
    const Case cases[] = {
        {"port back",
         false,
         QStringLiteral("Открыт: ") + link + "  19200 бод   Even",
         qmt::LampGreen,
         {missing, QStringLiteral("Значение счетчика\nрестартов равно 1")}},
        {"port gone",
         true,
         QStringLiteral("Закрыт: ") + link + "  19200 бод   Even",
         qmt::LampRed,
         {missing, QStringLiteral("Невозможно открыть ") + link +
                       QStringLiteral("\nнет такого устройства")}},
    };
    for (const Case& c : cases) {
        if (c.simulatorGone) sim.stop();
        prompts.shown.clear();
        prompts.modalScripts.push_back(failThenCancel);
        portCommand->trigger();
        EXPECT_EQ(statusText(window), c.status) << c.what;
        EXPECT_TRUE(glyphIs(window, c.lamp)) << c.what;
        if (!c.simulatorGone) readCounter->trigger(); // the module answers again
        const QString separator = QStringLiteral(" | ");
        EXPECT_EQ(prompts.texts().join(separator).toStdString(),
                  c.messages.join(separator).toStdString())
            << c.what;
        EXPECT_EQ(qmt::PortSettings.portName, link) << c.what;
    }
}

} // namespace
