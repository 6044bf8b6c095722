// qmt584-cli tune against the simulator: what it refuses before any write,
// the proposal written only when asked (and clipped, saying so), and the
// regulator restored on Ctrl-C and after a lost link.
#include "CliOnSimulator.h"

#include <QProcess>
#include <QTest>

#include <csignal>

using namespace qmt::test;

namespace {

constexpr int kControl = 274, kXfo = 1044;

class CliTune : public CliOnSimulator {
protected:
    // A plant of about a second of wall time, and a saved state that is not
    // the default: dead zone on, a forced value of -123.
    void startPlant(const char* plant, const char* scale) {
        start({"--plant", plant, "--time-scale", scale, "--load", "0", "--noise", "0"});
        ASSERT_EQ(cli({"set", "274", "4"}).exitCode, 0);
        ASSERT_EQ(cli({"set", "1044", "-123"}).exitCode, 0);
        setupWrites = writeCount();
    }
    // Function-16 requests after the set-up's, as "ADDR VALUE" (one register each).
    std::vector<std::string> testWrites() const {
        std::vector<std::string> out;
        size_t n = 0;
        for (const std::string& line : sim.traceLines()) {
            if (line.rfind("< 01 10 ", 0) != 0 || n++ < setupWrites) continue;
            const int addr = std::stoi(line.substr(8, 2) + line.substr(11, 2), nullptr, 16);
            const int value = std::stoi(line.substr(23, 2) + line.substr(26, 2), nullptr, 16);
            out.push_back(std::to_string(addr) + " " + std::to_string(value));
        }
        return out;
    }
    void expectRestored() {
        EXPECT_EQ(sim.registerValue(kControl), 4);
        EXPECT_EQ(int16_t(sim.registerValue(kXfo)), -123);
        const auto w = testWrites();
        ASSERT_GE(w.size(), 4u);
        EXPECT_EQ(w[w.size() - 2], "274 4"); // forced output off first, then the value
        EXPECT_EQ(w.back(), "1044 65413");
    }
    // The tool started in the background; returns once it has forced the output.
    void startTune(QProcess& p, const QStringList& more = {}) {
        prepareCli(p);
        p.start(QStringLiteral(CLI_FILE),
                line() + QStringList{"tune", "--regulator", "1", "--step", "500"} + more);
        QTRY_VERIFY_WITH_TIMEOUT(testWrites().size() >= 2, 10000);
    }
    size_t setupWrites = 0;
};

TEST_F(CliTune, RefusesBadInputsBeforeAnyWrite) {
    startPlant("1:1,20,2", "20");
    const struct {
        QStringList args;
        int code;
        const char* says;
    } cases[] = {
        {{"--step", "0x1F"}, 2, "--step: нужен скачок выхода"},
        {{"--step", "12abc"}, 2, "--step: нужен скачок выхода"},
        {{"--step", ""}, 2, "--step: нужен скачок выхода"},
        {{"--step", "1,5"}, 2, "--step: нужен скачок выхода"},
        {{"--step", "40000"}, 2, "--step: нужен скачок выхода"},
        {{"--step", "0"}, 2, "--step: нужен скачок выхода"},
        {{}, 2, "tune: нужны --regulator N и --step DY"},
        {{"--step", "500", "--regulator", "4"}, 2, "--regulator: нужен номер регулятора"},
        {{"--step", "500", "--regulator", "0x1"}, 2, "--regulator: нужен номер регулятора"},
        {{"--step", "500", "--tc", "1,5"}, 2, "--tc: нужно время в секундах"},
        {{"--step", "500", "--max-time", "0"}, 2, "--max-time: нужно время"},
        {{"--step", "500", "--rule", "zn"}, 2, "--rule: нужно simc или lambda"},
        {{"--step", "30000"}, 1, "больше верхней границы Ymax = 20000"},
        {{"--step", "500", "--address", "7"}, 1, "станция 7: Нет ответа!"},
    };
    for (const auto& c : cases) {
        QStringList args{"tune"};
        if (!c.args.contains(QStringLiteral("--regulator")) && !c.args.isEmpty())
            args << "--regulator" << "1";
        const int at = c.args.indexOf(QStringLiteral("--address"));
        QStringList rest = c.args;
        QStringList lineArgs = line();
        if (at >= 0) {
            lineArgs << rest[at] << rest[at + 1];
            rest.remove(at, 2);
        }
        const CliRun run = runCli(lineArgs + args + rest);
        EXPECT_EQ(run.exitCode, c.code) << c.args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.says))) << run.err.toStdString();
        EXPECT_EQ(writeCount(), setupWrites) << c.args.join(' ').toStdString();
    }
}

TEST_F(CliTune, CtrlCEndsTheTestRestored) {
    startPlant("1:1,200,20", "20"); // ten seconds of plant: far from its end
    QProcess p;
    startTune(p);
    ::kill(pid_t(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(p.readAllStandardError()).contains(QStringLiteral("опыт прерван")));
    expectRestored();
}

TEST_F(CliTune, ALostLinkEndsTheTestRestoredOnceTheModuleAnswers) {
    startPlant("1:1,200,20", "20");
    QProcess p;
    startTune(p);
    ASSERT_TRUE(sim.sendControl("silent on"));
    QTest::qWait(1500); // the tool keeps trying while the module is silent
    EXPECT_EQ(p.state(), QProcess::Running);
    ASSERT_TRUE(sim.sendControl("silent off"));
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(p.readAllStandardError()).contains(QStringLiteral("связь потеряна")));
    expectRestored();
}

TEST_F(CliTune, WritesTheProposalOnlyWhenAskedAndSaysWhatIsClipped) {
    // A weak, slow plant without dead time and a short τc: SIMC's gain is past Kp's word.
    startPlant("1:0.02,600,0", "1000");
    for (bool write : {false, true}) {
        QStringList args{"tune", "--regulator", "1", "--step", "15000", "--tc", "0.001",
                          "--max-time", "20"};
        if (write) args << "--write";
        const CliRun run = cli(args);
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        for (const char* name : {"K ", "T ", "L ", "fit_error_pct ", "Kp ", "Ti ", "Td ",
                                 "Kp_word ", "Ti_word ", "Td_word "})
            EXPECT_TRUE(run.out.contains(QLatin1Char('\n') + QLatin1String(name)) ||
                        run.out.startsWith(QLatin1String(name)))
                << name;
        EXPECT_TRUE(run.out.contains(QStringLiteral("Kp_word 65535\n")));
        EXPECT_TRUE(run.err.contains(QStringLiteral("больше наибольшего 655,35: предложено 655,35")))
            << run.err.toStdString();
        const auto w = testWrites();
        ASSERT_GE(w.size(), 4u);
        if (!write) {
            EXPECT_EQ(w.back(), "1044 65413"); // the restore was the last write
            setupWrites = writeCount();
            continue;
        }
        ASSERT_EQ(w.size(), 8u); // force (value, control), step, restore (2); then Kp, Ti, Td
        EXPECT_EQ(w[5], "267 65535");
        EXPECT_EQ(w[6].substr(0, 4), "268 ");
        EXPECT_EQ(w[7].substr(0, 4), "269 ");
    }
}

} // namespace
