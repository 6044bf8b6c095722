// qmt584-cli against the simulator: the configuration it reads is the one
// the program loads, it writes as the main window writes, diff tells equal
// from different, stations are served in turn, and the value log is the
// program's own, which curvix opens.
#include "CliOnSimulator.h"
#include "FakeUi.h"
#include "LinkSettings.h"

#include "config/ConfigTransfer.h"
#include "config/ModuleConfig.h"
#include "config/PidFile.h"
#include "config/TPidConf.h"
#include "core/CsvRead.h"
#include "core/Dataset.h"
#include "link/Library.h"
#include "link/PortSettings.h"
#include "monitor/ValueLog.h"
#include "monitor/ValuesCycle.h"

#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <thread>

namespace qmt::test {
namespace {

ModuleConfig defaults() {
    ModuleConfig config;
    ResetConfig(config);
    return config;
}

TEST_F(CliOnSimulator, ReadConfigSavesWhatTheProgramLoads) {
    start();
    ASSERT_TRUE(sim.sendControl("set 264 3"));
    ASSERT_TRUE(sim.sendControl("set 267 150"));
    ASSERT_TRUE(sim.sendControl("set 288 -300"));
    ASSERT_TRUE(sim.sendControl("set 312 2"));
    ASSERT_TRUE(sim.sendControl("set 330 1234"));
    const CliRun run = cli({"read-config", path("a.pid")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("Конфигурация прочитана: 63 регистра")));
    const ModuleConfig loaded = LoadPidFile(path("a.pid"), defaults());
    for (int step = 0; step < ConfigWriteSteps; ++step) {
        if (ConfigWriteStep(step).address == 60) continue; // the mode is no file key
        EXPECT_EQ(ConfigWord(loaded, step),
                  static_cast<uint16_t>(sim.registerValue(ConfigWriteStep(step).address)))
            << "register " << ConfigWriteStep(step).address;
    }
}

TEST_F(CliOnSimulator, DiffTellsEqualFromDifferent) {
    start();
    ASSERT_EQ(cli({"read-config", path("a.pid")}).exitCode, 0);
    const CliRun same = cli({"diff", path("a.pid")});
    EXPECT_EQ(same.exitCode, 0) << same.err.toStdString();
    EXPECT_TRUE(same.out.isEmpty());

    ASSERT_TRUE(sim.sendControl("set 265 77"));
    ASSERT_TRUE(sim.sendControl("set 324 9"));
    const CliRun differ = cli({"diff", path("a.pid")});
    EXPECT_EQ(differ.exitCode, 1);
    EXPECT_EQ(differ.out.split('\n', Qt::SkipEmptyParts),
              (QStringList{QStringLiteral("265 \"Уставка(ПИД1)\": модуль 77, файл 0"),
                           QStringLiteral("324 \"величина зоны нечувствительности около амплитуды "
                                          "пилы для положительной составляющей\": модуль 9, файл "
                                          "0")}));

    QFile other(path("other.pid"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("just text\n");
    other.close();
    const CliRun refused = cli({"diff", path("other.pid")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("не является файлом конфигурации")));
}

TEST_F(CliOnSimulator, WriteConfigSendsTheWindowsRequests) {
    // The file: every word unlike the module's.
    ModuleConfig file = defaults();
    for (int step = 0; step < ConfigWriteSteps; ++step)
        ConfigWord(file, step) = static_cast<uint16_t>(10 + step);
    for (int n = 0; n < 3; ++n)
        file.pid[n].w[0] = 0; // set-points from Modbus: the window changes nothing
    file.SwOut = 1;
    for (int i = 0; i < 4; ++i)
        file.io[io::InputMode0 + i] = 1;
    SavePidFile(path("w.pid"), file);

    start();
    const CliRun dry = cli({"write-config", path("w.pid"), "--dry-run"});
    EXPECT_EQ(dry.exitCode, 0) << dry.err.toStdString();
    EXPECT_GT(dry.out.count('\n'), 50);
    EXPECT_TRUE(writes(sim.traceLines()).empty()) << "a dry run writes nothing";

    const CliRun run = cli({"write-config", path("w.pid")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const std::vector<std::string> byCli = writes(sim.traceLines());
    EXPECT_EQ(byCli.size(), 63u + 10u + 1u);   // the writes, their write-enables, the version read
    EXPECT_EQ(sim.registerValue(265), 10 + 5); // step 5: word 1 of ПИД1
    sim.stop();

    // The main window, opening the same file and writing it.
    start();
    std::vector<std::string> byWindow;
    {
        FakePrompts prompts;
        FakeClock clock;
        ASSERT_TRUE(BindLibrary(VORNLINK_FILE));
        const QString ini = writeLinkSettings(dir, link, 19200);
        Config = {};
        TPidConf window(nullptr, ini);
        window.ConfigFileName = path("w.pid");
        window.LoadConfigFile();
        Config.io[io::ModuleMode] = static_cast<uint16_t>(sim.registerValue(60));
        window.miWriteConfClick();
        byWindow = writes(sim.traceLines());
        EXPECT_TRUE(prompts.shown.empty()) << prompts.lastText().toStdString();
    }
    PortSettings = {};
    EXPECT_EQ(byCli, byWindow);
}

TEST_F(CliOnSimulator, StationsInTurnAndOneSilent) {
    start({"--address", "1,2,3"});
    ASSERT_TRUE(sim.sendControl("station 3"));
    ASSERT_TRUE(sim.sendControl("set 265 333"));
    ASSERT_TRUE(sim.sendControl("silent 2"));
    const CliRun run = cli({"--address", "1-3", "read-config", path("s.pid")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.contains(QStringLiteral("станция 1: Конфигурация прочитана")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("станция 3: Конфигурация прочитана")));
    EXPECT_EQ(run.err.trimmed(), at(2) + QStringLiteral("Нет ответа!"));
    EXPECT_EQ(LoadPidFile(path("s-3.pid"), defaults()).pid[0].w[1], 333);
    EXPECT_EQ(LoadPidFile(path("s-1.pid"), defaults()).pid[0].w[1], 0);
    EXPECT_FALSE(QFile::exists(path("s-2.pid")));

    // Each station compared with its own file; the silent one fails alone.
    const CliRun diff = cli({"--address", "1,3", "diff", path("s-1.pid")});
    EXPECT_EQ(diff.exitCode, 1);
    EXPECT_EQ(diff.out.trimmed(),
              QStringLiteral("станция 1: Различий нет\n"
                             "станция 3: 265 \"Уставка(ПИД1)\": модуль 333, файл 0"));
    ASSERT_TRUE(sim.sendControl("silent 2 off"));
    EXPECT_EQ(cli({"--address", "2", "diff", path("s-1.pid")}).exitCode, 0);
}

TEST_F(CliOnSimulator, ValuesLogIsTheProgramsOwnAndCurvixOpensIt) {
    start();
    const CliRun run = cli({"values", "--period", "100", "--count", "3", "--log", path("v.log")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.count('\n'), 4);
    QFile file(path("v.log"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const QList<QByteArray> lines = bytes.split('\n');
    ASSERT_EQ(lines.size(), 5); // four lines and nothing after the last CR LF
    EXPECT_EQ(lines[0] + '\n',
              ValueLog::headerLine(LogChannelNames(RegulatorChannels(), ModuleChannels())));
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(lines[i].size(), 26 * 9 + 1) << lines[i].constData(); // 26 fields and CR
        EXPECT_TRUE(lines[i].endsWith('\r'));
    }
    EXPECT_TRUE(lines[4].isEmpty());

    curvix::Dataset data;
    const curvix::FileLoad load = curvix::loadDataFile(path("v.log"), data);
    EXPECT_TRUE(load.error.isEmpty()) << load.error.toStdString();
    EXPECT_FALSE(load.csv);
    EXPECT_EQ(load.channels, 25);
    EXPECT_EQ(load.rows, 3);

    // An existing log is kept unless replacing it was asked for.
    EXPECT_EQ(cli({"values", "--count", "1", "--log", path("v.log")}).exitCode, 1);
    EXPECT_EQ(file.size(), bytes.size());
}

TEST_F(CliOnSimulator, CtrlCEndsAfterTheCycleWithTheLogWhole) {
    start();
    QProcess process;
    prepareCli(process);
    process.start(QStringLiteral(CLI_FILE),
                  line() + QStringList{"values", "--period", "100", "--log", path("c.log")});
    ASSERT_TRUE(process.waitForStarted());
    int lines = 0;
    while (lines < 3 && process.waitForReadyRead(5000))
        while (process.canReadLine() && process.readLine().size() > 0)
            ++lines;
    ASSERT_GE(lines, 3);
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    QFile file(path("c.log"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    EXPECT_GE(bytes.count('\n'), 3);
}

TEST_F(CliOnSimulator, RegistersAndTheRestartCounter) {
    start();
    EXPECT_EQ(cli({"set", "265", "-2"}).exitCode, 0);
    EXPECT_EQ(cli({"get", "264..265"}).out, QStringLiteral("264 0\n265 65534\n"));
    // A protected register takes a write only behind the write-enable code.
    EXPECT_EQ(cli({"set", "48", "7", "--protected"}).exitCode, 0);
    EXPECT_EQ(sim.registerValue(48), 7);

    ASSERT_TRUE(sim.sendControl("set 260 65535"));
    EXPECT_EQ(cli({"restarts"}).out.trimmed(), QStringLiteral("65535"));
    EXPECT_EQ(cli({"restarts", "--clear"}).exitCode, 0);
    EXPECT_EQ(sim.registerValue(260), 0);

    ASSERT_TRUE(sim.sendControl("silent on"));
    const CliRun silent = cli({"get", "3"});
    EXPECT_EQ(silent.exitCode, 1);
    EXPECT_EQ(silent.err.trimmed(), at() + QStringLiteral("Нет ответа!"));
}

} // namespace
} // namespace qmt::test
