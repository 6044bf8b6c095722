// The program's link pieces with the real libvornlink.so against qmt584-sim on
// a pseudo-terminal: opening the port, the status line, register reads, and
// the automatic search finding a module at settings nobody told the program.
#include "Controls.h"
#include "FakeUi.h"
#include "SimulatorFixture.h"
#include "link/Errors.h"
#include "link/Library.h"
#include "link/PortSettings.h"
#include "link/PortStatus.h"
#include "link/RegisterAccess.h"
#include "link/RegisterMap.h"
#include "link/TParCOM.h"

#include <gtest/gtest.h>

namespace {

using qmt::test::Controls;

class EndToEnd : public qmt::test::OnSimulator<> {
protected:
    void SetUp() override {
        OnSimulator::SetUp();
        qmt::setSettingsFilePath(dir.filePath(QStringLiteral("QMT584_View.ini")));
    }
};

TEST_F(EndToEnd, OpenPortReadsTheModuleAndTheStatusLineFollows) {
    const QString link = start({"--baud", "19200", "--parity", "even", "--address", "5"});
    qmt::PortSettings = {link, 19200, 2, 5};
    const bool open = qmt::OpenPort(link, 19200, 2);
    ASSERT_TRUE(open) << prompts.lastText().toStdString();
    EXPECT_EQ(qmt::PortStatusText(open), QStringLiteral("Открыт: ") + link + "  19200 бод   Even");
    EXPECT_EQ(qmt::ReadRegister(qmt::reg::ModuleType), qmt::reg::TypeQmt584);
    EXPECT_EQ(qmt::ReadRegister(qmt::reg::OwnAddress), 5);

    // Another station on the same line does not answer.
    qmt::PortSettings.address = 6;
    try {
        qmt::ReadRegister(qmt::reg::ModuleType);
        ADD_FAILURE() << "a read from a missing station succeeded";
    } catch (const qmt::ECommError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Нет ответа!"));
    }
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(EndToEnd, AMissingPortIsReportedAndShownClosed) {
    qmt::PortSettings = {QStringLiteral("/dev/ttyQMT-missing"), 9600, 0, 1};
    const bool open = qmt::OpenPort(qmt::PortSettings.portName, 9600, 0);
    EXPECT_FALSE(open);
    EXPECT_EQ(prompts.texts(),
              QStringList{QStringLiteral("Невозможно открыть /dev/ttyQMT-missing")});
    EXPECT_EQ(qmt::PortStatusText(open),
              QStringLiteral("Закрыт: /dev/ttyQMT-missing  9600 бод   None"));
}

TEST_F(EndToEnd, TheSearchFindsAModuleAtUnknownSettingsAndOkConnects) {
    const QString link = start({"--baud", "9600", "--parity", "none", "--serial", "C0015"});
    // The program still believes in its defaults.
    qmt::PortSettings = {link, 19200, 2, 1};
    TParCOM dialog;
    Controls ui{dialog};
    dialog.show();
    ui.fill({{"cbType", QStringLiteral("QMT-584")},
             {"cbSerNumAlpha", QStringLiteral("C")},
             {"edNumber", QStringLiteral("15")}});
    // The real library searches one combination per call, and the status bar
    // names each: 9600 baud without parity is the 16th.
    ASSERT_NE(qmt::library().EnumParametersAt, nullptr);
    qmt::test::FakeStatus status;
    ui.click("btAuto");
    ASSERT_EQ(status.progressTexts.size(), 16);
    EXPECT_EQ(status.progressTexts.last(),
              QStringLiteral("Поиск модуля № C15: 9600 бод, None (16 из 24), порт ") + link);
    ASSERT_EQ(prompts.shown.size(), 1u) << prompts.lastText().toStdString();
    EXPECT_EQ(prompts.shown[0].text,
              QStringLiteral("Модуль обнаружен!\nДля установки параметров порта нажмите ОК"));
    EXPECT_EQ(ui.combo("cbSpeed")->currentText(), QStringLiteral("9600"));
    EXPECT_EQ(ui.combo("cbParity")->currentText(), QStringLiteral("None"));

    ui.click("btOk");
    ASSERT_TRUE(dialog.accepted()) << prompts.lastText().toStdString();
    EXPECT_EQ(qmt::PortStatusText(true), QStringLiteral("Открыт: ") + link + "  9600 бод   None");
    EXPECT_EQ(qmt::ReadRegister(qmt::reg::SerialNumber), qmt::reg::SerialCode(2, 15));
}

} // namespace
