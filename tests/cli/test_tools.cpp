// qmt584-cli's everyday tools against the simulator: write-config --changed,
// scan and --trace. What reached the module is read from the simulator's
// trace and registers.
#include "CliOnSimulator.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <thread>

namespace qmt::test {
namespace {

class CliTools : public CliOnSimulator {
protected:
    // The module's configuration as a file, with from replaced by to once.
    QString changedFile(const char* name,
                        std::initializer_list<std::pair<const char*, const char*>> edits) {
        const QString file = path(name);
        EXPECT_EQ(cli({"read-config", file}).exitCode, 0);
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        QByteArray text = f.readAll();
        f.close();
        for (const auto& e : edits) {
            const int at = text.indexOf(e.first);
            EXPECT_GE(at, 0) << e.first;
            text.replace(at, int(qstrlen(e.first)), e.second);
        }
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
        return file;
    }
    std::vector<std::string> writeRequests() const {
        std::vector<std::string> out;
        for (const std::string& line : sim.traceLines())
            if (line.rfind("< ", 0) == 0 && line.compare(5, 2, "10") == 0)
                out.push_back(line.substr(0, 19)); // station, function, address, count
        return out;
    }
};

TEST_F(CliTools, ChangedWritesOnlyTheRegistersThatDiffer) {
    start();
    const QString file = changedFile("one.pid", {{"XsDef=0", "XsDef=250"}});
    const CliRun dry = cli({"write-config", file, "--changed", "--dry-run"});
    EXPECT_EQ(dry.out.trimmed(), QStringLiteral("265 \"Уставка(ПИД1)\": модуль 0, файл 250"));
    EXPECT_TRUE(writeRequests().empty());

    const CliRun run = cli({"write-config", file, "--changed"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.trimmed(), QStringLiteral("Изменения записаны: 1 регистр"));
    EXPECT_EQ(writeRequests(), std::vector<std::string>{"< 01 10 01 09 00 01"});
    EXPECT_EQ(cli({"diff", file}).exitCode, 0); // the module equals the file
    EXPECT_EQ(cli({"write-config", file, "--changed"}).out.trimmed(),
              QStringLiteral("Изменений нет"));
    EXPECT_EQ(writeRequests().size(), 1u);

    // A protected register gets its write-enable code, in the full write's order.
    const QString two = changedFile("two.pid", {{"Ti=40", "Ti=55"}, {"XsDef=250", "XsDef=7"}});
    ASSERT_EQ(cli({"write-config", two, "--changed"}).exitCode, 0);
    EXPECT_EQ(writeRequests(),
              (std::vector<std::string>{"< 01 10 01 09 00 01", "< 01 10 01 09 00 01",
                                        "< 01 10 07 78 00 01", "< 01 10 00 30 00 01"}));
    EXPECT_EQ(sim.registerValue(48), 55);
    EXPECT_EQ(sim.registerValue(265), 7);
}

TEST_F(CliTools, ChangedToTheWrongStationOrASilentModuleSaysWhatWasWritten) {
    start();
    const QString file = changedFile("six.pid", {{"XsDef=0", "XsDef=1"},
                                                 {"Ts=2", "Ts=3"},
                                                 {"XsDef=0", "XsDef=2"},
                                                 {"Ts=2", "Ts=4"},
                                                 {"XsDef=0", "XsDef=3"},
                                                 {"Ts=2", "Ts=5"}});
    const CliRun wrong = cli({"--address", "5", "write-config", file, "--changed"});
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_EQ(wrong.err.trimmed(), at(5) + QStringLiteral("Нет ответа!"));
    EXPECT_TRUE(writeRequests().empty());

    QProcess process;
    prepareCli(process);
    process.start(QStringLiteral(CLI_FILE),
                  line() + QStringList{"write-config", file, "--changed"});
    for (int i = 0; i < 200 && writeRequests().size() < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(sim.sendControl("silent on"));
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 1);
    int written = 0;
    for (const std::string& frame : sim.traceLines())
        written += frame.rfind("> 01 10", 0) == 0;
    ASSERT_GT(written, 0);
    ASSERT_LT(written, 6);
    const char* const names[] = {"Уставка(ПИД1)", "период входных  выборок(ПИД1)",
                                 "Уставка(ПИД2)", "период входных  выборок(ПИД2)",
                                 "Уставка(ПИД3)", "период входных  выборок(ПИД3)"};
    const QString err = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    EXPECT_EQ(err, at() + QStringLiteral("Нет ответа! параметр: \"%1\" записано до сбоя: %2 из 6")
                              .arg(QString::fromUtf8(names[written]))
                              .arg(written));
}

TEST_F(CliTools, ScanListsExactlyTheStationsThatAnswer) {
    start({"--address", "1,5,9"});
    ASSERT_TRUE(sim.sendControl("silent 5 on"));
    const CliRun run = cli({"scan", "--to", "12"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("1 QMT-584 A0001 02.00\n9 QMT-584 A0001 02.00\n"
                                      "Найдено станций: 2\n"));
    // One request to each address, none repeated.
    int requests = 0;
    for (const std::string& line : sim.traceLines())
        requests += line.rfind("< ", 0) == 0;
    EXPECT_EQ(requests, 12);

    EXPECT_EQ(cli({"scan", "--from", "10", "--to", "12"}).exitCode, 1);
    EXPECT_EQ(cli({"scan", "--from", "9", "--to", "3"}).exitCode, 2);
    EXPECT_EQ(cli({"scan", "--from", "0"}).exitCode, 2);
}

TEST_F(CliTools, ScanOverAGatewayAsksEachUnitId) {
    const std::string hostPort = sim.start({"--tcp", "127.0.0.1:0", "--framing", "mbap", "--address", "2,4"});
    ASSERT_FALSE(hostPort.empty()) << sim.error();
    const CliRun run =
        runCli({"--port", QStringLiteral("tcp://") + QString::fromStdString(hostPort), "scan",
                "--to", "5"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("2 QMT-584 A0001 02.00\n4 QMT-584 A0001 02.00\n"
                                      "Найдено станций: 2\n"));
}

TEST_F(CliTools, TraceLinesAreTheFramesOnTheLine) {
    start();
    ASSERT_TRUE(sim.sendControl("fault exception 2 3")); // the first read fails three times
    const QString trace = path("t.txt");
    EXPECT_EQ(cli({"--trace", trace, "get", "265"}).exitCode, 1);
    EXPECT_EQ(cli({"--trace", trace, "get", "265"}).exitCode, 0);
    QFile file(trace);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    const std::vector<std::string> onLine = sim.traceLines();
    ASSERT_EQ(static_cast<size_t>(lines.size()), onLine.size());
    const QRegularExpression form(
        QStringLiteral(R"(^\d\d:\d\d:\d\d\.\d{6} (TX|RX) ([0-9A-F ]+) \| (.*)$)"));
    for (int i = 0; i < lines.size(); ++i) {
        const auto m = form.match(lines[i]);
        ASSERT_TRUE(m.hasMatch()) << lines[i].toStdString();
        const std::string way = m.captured(1) == QLatin1String("TX") ? "<" : ">";
        EXPECT_EQ(way + " " + m.captured(2).toStdString(), onLine[i]);
    }
    EXPECT_TRUE(
        lines[0].endsWith(QStringLiteral("| станция 1, функция 3, адрес 265, количество 1")));
    EXPECT_TRUE(lines[1].endsWith(
        QStringLiteral("| станция 1, функция 3, исключение 2: Недопустимый адрес данных")));
    EXPECT_TRUE(lines.last().endsWith(QStringLiteral("| станция 1, функция 3, количество 1")));

    // A silent module: the request, and a reply line that says nothing came.
    ASSERT_TRUE(sim.sendControl("silent on"));
    EXPECT_EQ(cli({"--trace", path("s.txt"), "get", "265"}).exitCode, 1);
    QFile silent(path("s.txt"));
    ASSERT_TRUE(silent.open(QIODevice::ReadOnly));
    const QStringList quiet = QString::fromUtf8(silent.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(quiet.size(), 6);
    EXPECT_TRUE(quiet[1].contains(QStringLiteral(" RX -- | Нет ответа!")));
}

} // namespace
} // namespace qmt::test
