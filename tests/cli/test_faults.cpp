// qmt584-cli with the mistakes of a real plant: files it cannot send whole,
// values that are not whole numbers, the wrong station, a module that falls
// silent halfway, a stop signal in the middle of a cycle. What reached the
// module is read from the simulator's trace and registers, not from the
// tool's message.
#include "CliOnSimulator.h"

#include "config/ConfigTransfer.h"
#include "config/ModuleConfig.h"
#include "config/PidFile.h"
#include "link/RegisterMap.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <sstream>
#include <thread>

namespace qmt::test {
namespace {

class CliFaults : public CliOnSimulator {
protected:
    // A whole configuration file, every key the program saves, Kp of ПИД1 3
    // (a whole number: the same text in every locale).
    QByteArray goodFile() {
        ModuleConfig config;
        ResetConfig(config);
        config.pid[0].w[reg::pid::Kp] = 300;
        SavePidFile(path("good.pid"), config);
        QFile file(path("good.pid"));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }
    QString put(const char* name, const QByteArray& text) {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
        return path(name);
    }
    static QByteArray replaced(QByteArray text, const char* from, const char* to) {
        const int at = text.indexOf(from);
        EXPECT_GE(at, 0) << from;
        return text.replace(at, int(qstrlen(from)), to);
    }
};

TEST_F(CliFaults, WriteConfigDiffAndDryRunRefuseAFileTheyCannotSendWhole) {
    start();
    ASSERT_TRUE(sim.sendControl("set 267 77"));
    const QByteArray good = goodFile();
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.pid")));
    const struct {
        QString file;
        const char* names; // what the one line names
    } cases[] = {
        {path("none.pid"), "none.pid не найден"},
        {path("folder.pid"), "Невозможно прочитать файл"},
        {put("good.txt", good), "good.txt не является файлом конфигурации"},
        {put("text.pid", "just text\n"), "text.pid не является файлом конфигурации"},
        {put("nokey.pid", replaced(good, "Kp=3\n", "")), "нет ключа Kp раздела [PID1]"},
        {put("nolast.pid", good.left(good.lastIndexOf("dY="))), "нет ключа dY раздела [PWM2]"},
        {put("kp.pid", replaced(good, "Kp=3", "Kp=abc")),
         "ключ Kp раздела [PID1] не является числом"},
        {put("ti.pid", replaced(good, "Ti=65535", "Ti=12abc")),
         "ключ Ti раздела [PID1] не является числом"},
        {put("ymax.pid", replaced(good, "Ymax=20000", "Ymax=1,5")),
         "ключ Ymax раздела [PID1] не является числом"},
        {put("empty.pid", replaced(good, "XsDef=0", "XsDef=")),
         "ключ XsDef раздела [PID1] не является числом"},
        {put("insw.pid", replaced(good, "InSw=0", "InSw=99")), "ПИД-регулятора 1"},
        {put("wide.pid", replaced(good, "Kp=3", "Kp=99999999")), "[PID1] значение Kp=99999999"},
    };
    for (const auto& c : cases) {
        for (const QStringList& command :
             {QStringList{"write-config", c.file}, QStringList{"write-config", c.file, "--dry-run"},
              QStringList{"write-config", c.file, "--changed"}, QStringList{"diff", c.file}}) {
            const std::string what = command.join(' ').toStdString();
            const CliRun run = cli(command);
            EXPECT_EQ(run.exitCode, 1) << what;
            EXPECT_EQ(run.err.count('\n'), 1) << what << ": " << run.err.toStdString();
            EXPECT_TRUE(run.err.contains(c.file)) << what;
            EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.names))) << what;
            EXPECT_TRUE(run.out.isEmpty()) << what;
        }
    }
    EXPECT_EQ(writeCount(), 0u);
    EXPECT_EQ(sim.registerValue(267), 77);

    // The same file whole is sent; a hexadecimal integer is a number there.
    const CliRun run =
        cli({"write-config", put("hex.pid", replaced(good, "XsDef=0", "XsDef=0x1F"))});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(sim.registerValue(265), 31);
    EXPECT_EQ(sim.registerValue(267), 300);
}

TEST_F(CliFaults, WriteConfigToTheWrongStationOrASilentModule) {
    start();
    const QString file = put("good.pid", goodFile());
    const CliRun wrong = cli({"--address", "5", "write-config", file});
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_EQ(wrong.err.trimmed(), at(5) + QStringLiteral("Нет ответа!"));
    EXPECT_EQ(writeCount(), 0u);

    // Silent after a few writes: the line names the parameter the trace
    // shows as the first one not written.
    QProcess process;
    prepareCli(process);
    process.start(QStringLiteral(CLI_FILE), line() + QStringList{"write-config", file});
    for (int i = 0; i < 100 && writeCount() < 8; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(sim.sendControl("silent on"));
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 1);
    int written = 0; // configuration registers that got their reply
    for (const std::string& frame : sim.traceLines()) {
        std::istringstream bytes(frame);
        std::string way, station, function, hi, lo;
        bytes >> way >> station >> function >> hi >> lo;
        written += way == ">" && function == "10" && hi + lo != "0778";
    }
    ASSERT_GT(written, 0);
    ASSERT_LT(written, ConfigWriteSteps);
    const QString err = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    EXPECT_EQ(err, at() + QStringLiteral("Нет ответа! параметр: ") + WriteStepNames()[written]);
}

TEST_F(CliFaults, DiffComparesWhatWriteConfigSends) {
    start();
    // An output source the switch does not offer goes to the module as none.
    const QString file = put("sw.pid", replaced(goodFile(), "SwOut=0", "SwOut=9"));
    ASSERT_EQ(cli({"write-config", file}).exitCode, 0);
    EXPECT_EQ(static_cast<int16_t>(sim.registerValue(312)), -1);
    const CliRun diff = cli({"diff", file});
    EXPECT_EQ(diff.exitCode, 0) << diff.out.toStdString();
    EXPECT_TRUE(diff.out.isEmpty());
    EXPECT_EQ(cli({"write-config", file, "--dry-run"}).out.trimmed(),
              QStringLiteral("Изменений нет"));
}

TEST_F(CliFaults, SetWritesOnlyAWholeNumber) {
    start();
    const struct {
        const char* address;
        const char* value;
        int exitCode;
        long written; // register 265 afterwards
    } cases[] = {
        {"265", "0x1F", 0, 31},      {"265", "-2", 0, 65534}, {"0x109", "65535", 0, 65535},
        {"265", "-32768", 0, 32768}, {"265", "12abc", 2, -1}, {"265", "1.5", 2, -1},
        {"265", "7,5", 2, -1},       {"265", "", 2, -1},      {"265", " 12", 2, -1},
        {"265", "0x", 2, -1},        {"265", "70000", 2, -1}, {"265", "-32769", 2, -1},
        {"265", "0x10000", 2, -1},   {"265", "1e3", 2, -1},   {"265abc", "1", 2, -1},
        {"-1", "1", 2, -1},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(sim.sendControl("set 265 4242"));
        const size_t before = writeCount();
        const CliRun run = cli({"set", c.address, c.value});
        const std::string what = std::string(c.address) + " '" + c.value + "'";
        EXPECT_EQ(run.exitCode, c.exitCode) << what << ": " << run.err.toStdString();
        EXPECT_EQ(sim.registerValue(265), c.exitCode == 0 ? c.written : 4242) << what;
        if (c.exitCode != 0) {
            EXPECT_EQ(writeCount(), before) << what;
            EXPECT_EQ(run.err.count('\n'), 1) << what;
        }
    }
    const CliRun wrong = cli({"--address", "5", "set", "265", "1"});
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_EQ(wrong.err.trimmed(), at(5) + QStringLiteral("Нет ответа!"));
    EXPECT_EQ(sim.registerValue(265), 4242);

    // A protected register refuses a plain write; the line says what it wants.
    const CliRun plain = cli({"set", "48", "7"});
    EXPECT_EQ(plain.exitCode, 1);
    EXPECT_TRUE(plain.err.startsWith(at() + QStringLiteral("Недопустимое значение данных")));
    EXPECT_TRUE(plain.err.contains(QLatin1String("--protected"))) << plain.err.toStdString();
    EXPECT_NE(sim.registerValue(48), 7);
}

// SIGTERM while a cycle runs: taken after the cycle, never instead of its
// error line or exit code.
TEST_F(CliFaults, StopSignalInTheCycleKeepsTheErrorAndTheExitCode) {
    const struct {
        const char* fault;
        QStringList args;
        int exitCode;
        bool error; // "Нет ответа!" on standard error
    } cases[] = {
        {"silent on", {"values", "--period", "100"}, 1, true},
        {"fault delay 100", {"values", "--count", "1", "--log", "l.log"}, 0, false},
    };
    for (const auto& c : cases) {
        start();
        ASSERT_TRUE(sim.sendControl(c.fault));
        QStringList args = c.args;
        if (args.contains(QLatin1String("--log"))) args.last() = path("l.log");
        QProcess process;
        prepareCli(process);
        process.start(QStringLiteral(CLI_FILE), line() + args);
        ASSERT_TRUE(process.waitForReadyRead(5000)); // the header: the first cycle begins
        ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << c.fault;
        EXPECT_EQ(process.exitCode(), c.exitCode) << c.fault;
        const QString err = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
        EXPECT_EQ(err, c.error ? at() + QStringLiteral("Нет ответа!") : QString()) << c.fault;
        if (args.contains(QLatin1String("--log"))) {
            QFile log(path("l.log"));
            ASSERT_TRUE(log.open(QIODevice::ReadOnly));
            const QByteArray bytes = log.readAll();
            EXPECT_EQ(bytes.count('\n'), 2); // the header and the one cycle
            EXPECT_TRUE(bytes.endsWith("\r\n"));
        }
        sim.stop();
    }
}

TEST_F(CliFaults, ALogIsCreatedNewUnlessOverwriteIsAsked) {
    start();
    // A name that appeared meanwhile, here as a link to nowhere, is not
    // followed: nothing of anyone else's is created or replaced.
    ASSERT_TRUE(QFile::link(path("elsewhere.log"), path("v.log")));
    const CliRun run = cli({"values", "--count", "1", "--log", path("v.log")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.trimmed(), QStringLiteral("Файл существует! ") + path("v.log"));
    EXPECT_FALSE(QFile::exists(path("elsewhere.log")));
}

} // namespace
} // namespace qmt::test
