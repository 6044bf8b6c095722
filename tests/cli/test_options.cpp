// The command line of qmt584-cli: station lists, and every usage error
// answered with exit code 2 before the module is touched.
#include "CliProcess.h"
#include "cli/CliOptions.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace qmt::test {
namespace {

using cli::ParseStations;

TEST(CliStations, ListsAndRanges) {
    const struct {
        const char* text;
        std::vector<uint8_t> stations;
    } good[] = {{"1", {1}},
                {"1,3,5-9", {1, 3, 5, 6, 7, 8, 9}},
                {"3,1,3", {3, 1}},
                {"247", {247}},
                {"2-2", {2}}};
    for (const auto& c : good) {
        const auto parsed = ParseStations(QString::fromLatin1(c.text));
        ASSERT_TRUE(parsed) << c.text;
        EXPECT_EQ(*parsed, c.stations) << c.text;
    }
    for (const char* bad : {"", "0", "248", "1,,2", "5-3", "a", "1-", "-3", "1;2"})
        EXPECT_FALSE(ParseStations(QString::fromLatin1(bad))) << bad;
}

TEST(CliStations, ACommandOfOneStationRefusesAList) {
    cli::Invocation inv;
    EXPECT_FALSE(cli::ParseInvocation({"--address", "1,2", "get", "3"}, inv).isEmpty());
    cli::Invocation ok;
    EXPECT_TRUE(cli::ParseInvocation({"--address", "1,2", "diff", "a.pid"}, ok).isEmpty());
    EXPECT_EQ(ok.stations, (std::vector<uint8_t>{1, 2}));
}

TEST(CliUsage, MistakesEndWithExitCodeTwoAndOneLine) {
    const QStringList cases[] = {
        {},
        {"bogus"},
        {"--frobnicate", "diff", "a.pid"},
        {"--address", "0", "diff", "a.pid"},
        {"--parity", "mark", "restarts"},
        {"--baud", "fast", "restarts"},
        {"diff"},
        {"diff", "a.pid", "b.pid"},
        {"diff", "a.pid", "--dry-run"},
        {"values", "--period", "0"},
        {"values", "--count", "x"},
        {"search", "--serial", "C0015"},
        {"search", "--version", "QMT-999", "--serial", "C0015"},
        {"restarts", "--port"},
        {"get", "3..1"},
        {"set", "0x10000", "1"},
        {"set", "1", "12abc"},
        // A named settings file must be there: the defaults would reach another port.
        {"--settings", "/nonexistent/QMT584_View.ini", "restarts"},
        {"--settings", "/", "restarts"},
        // The search walks a serial line's speeds and parities; a gateway has none.
        {"--port", "tcp://127.0.0.1:1", "search", "--version", "QMT-584", "--serial", "C0015"},
        {"--port", "rtu+tcp://127.0.0.1:1", "search", "--version", "QMT-584", "--serial", "C1"},
    };
    // The program's language, as every other message of the tool.
    const QRegularExpression russian(QStringLiteral("[а-яА-Я]"));
    for (const QStringList& args : cases) {
        const CliRun run = runCli(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_EQ(run.err.count(QLatin1Char('\n')), 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(russian)) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
}

TEST(CliUsage, HelpAndVersion) {
    const CliRun help = runCli({"--port", "/dev/null", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains(QLatin1String("write-config FILE.pid")));
    EXPECT_TRUE(help.out.contains(QLatin1String("rtu+tcp://HOST:PORT")));
    EXPECT_FALSE(help.out.contains(QLatin1String("toolkit")));
    const CliRun version = runCli({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith(QLatin1String("qmt584-cli ")));
    // After the command --version is the search's own option.
    EXPECT_EQ(runCli({"search", "--version"}).exitCode, 2);
}

} // namespace
} // namespace qmt::test
