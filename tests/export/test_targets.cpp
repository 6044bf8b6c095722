// The targets file: every fault stops the exporter at start with one line
// naming the file, the line and the key, exit 2; a good file gives its lines.
#include "CliProcess.h"
#include "export/ExportCommand.h"
#include "export/Targets.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qmt::exporter;

namespace {

const char Good[] = "; the plant's two gateways\n"
                    "[boiler]\n"
                    "port = tcp://192.0.2.10:502\n"
                    "stations = 1-3,7\n"
                    "period_ms = 2000\n"
                    "\n"
                    "[pump]\n"
                    "Port=/dev/ttyUSB0\n"
                    "baud=9600\n"
                    "parity=none\n"
                    "stations=5\n";

TEST(Targets, GoodFileGivesEachLineWithItsDefaults) {
    QString error;
    const auto lines = ParseTargets(QStringLiteral("t.ini"), QString::fromUtf8(Good), error);
    ASSERT_TRUE(lines) << error.toStdString();
    ASSERT_EQ(lines->size(), 2u);
    const LineTarget& boiler = (*lines)[0];
    EXPECT_EQ(boiler.name, QStringLiteral("boiler"));
    EXPECT_EQ(boiler.port, QStringLiteral("tcp://192.0.2.10:502"));
    EXPECT_EQ(boiler.stations, (std::vector<uint8_t>{1, 2, 3, 7}));
    EXPECT_EQ(boiler.periodMs, 2000);
    const LineTarget& pump = (*lines)[1];
    EXPECT_EQ(pump.port, QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(pump.baud, 9600);
    EXPECT_EQ(pump.parity, 0);
    EXPECT_EQ(pump.periodMs, 1000);
}

TEST(Targets, EveryFaultNamesFileLineAndKey) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"[a]\nport=/dev/ttyS0\nstations=1\nspeed=9600\n", "t.ini:4: unknown key 'speed'"},
        {"[a]\nport=/dev/ttyS0\nstations=1-x\n", "t.ini:3: key 'stations'"},
        {"[a]\nport=/dev/ttyS0\nstations=0\n", "t.ini:3: key 'stations'"},
        {"[a]\nport=/dev/ttyS0\nstations=248\n", "t.ini:3: key 'stations'"},
        {"[a]\nport=/dev/ttyS0\nstations=5-3\n", "t.ini:3: key 'stations'"},
        {"[a]\nport=/dev/ttyS0\nstations=\n", "t.ini:3: key 'stations'"},
        {"[a]\nstations=1\n", "t.ini:1: line [a] lacks the key 'port'"},
        {"[a]\nport=\nstations=1\n", "t.ini:2: key 'port'"},
        {"[a]\nport=/dev/ttyS0\n", "t.ini:1: line [a] lacks the key 'stations'"},
        {"[a]\nport=/dev/ttyS0\nstations=1\nbaud=0x1F\n", "t.ini:4: key 'baud'"},
        {"[a]\nport=/dev/ttyS0\nstations=1\nbaud=12abc\n", "t.ini:4: key 'baud'"},
        {"[a]\nport=/dev/ttyS0\nstations=1\nbaud=1,5\n", "t.ini:4: key 'baud'"},
        {"[a]\nport=/dev/ttyS0\nstations=1\nbaud=\n", "t.ini:4: key 'baud'"},
        {"[a]\nport=/dev/ttyS0\nstations=1\nparity=mark\n", "t.ini:4: key 'parity'"},
        {"[a]\nport=/dev/ttyS0\nstations=1\nperiod_ms=50\n", "t.ini:4: key 'period_ms'"},
        {"[a]\nport=tcp://h:502\nbaud=9600\nstations=1\n", "t.ini:3: key 'baud'"},
        {"port=/dev/ttyS0\n", "t.ini:1: key 'port' stands before"},
        {"[a]\nport=/dev/ttyS0\nport=/dev/ttyS1\n", "t.ini:3: key 'port' is already given"},
        {"[a]\nport=/dev/ttyS0\nstations=1\n[A]\n", "t.ini:4: line [A] is already named"},
        {"[a]\nport=/dev/ttyS0\nstations=1\n[b]\nport=/dev/ttyS0\nstations=2\n",
         "t.ini:5: key 'port': /dev/ttyS0 is already polled by line [a]"},
        {"[a]\nport /dev/ttyS0\n", "t.ini:2: a line is"},
        {"; nothing\n", "t.ini:1: no [line] section"},
    };
    for (const auto& c : cases) {
        QString error;
        const auto lines = ParseTargets(QStringLiteral("t.ini"), QString::fromUtf8(c.text), error);
        EXPECT_FALSE(lines) << c.text;
        EXPECT_TRUE(error.startsWith(QString::fromUtf8(c.error)))
            << c.text << " -> " << error.toStdString();
        EXPECT_FALSE(error.contains(QLatin1Char('\n'))) << c.text;
    }
}

TEST(Targets, ListenAddresses) {
    const struct {
        const char* text;
        bool ok;
        quint16 port;
    } cases[] = {{"127.0.0.1:9584", true, 9584}, {"[::1]:9100", true, 9100},
                 {"0.0.0.0:80", true, 80},       {"localhost:9584", true, 9584},
                 {"::1:9584", false, 0},         {"127.0.0.1", false, 0},
                 {"127.0.0.1:0", false, 0},      {"127.0.0.1:70000", false, 0},
                 {"127.0.0.1:95x", false, 0},    {"plant.example:9584", false, 0}};
    for (const auto& c : cases) {
        const auto listen = ParseListen(QString::fromUtf8(c.text));
        EXPECT_EQ(listen.has_value(), c.ok) << c.text;
        EXPECT_EQ(listen ? listen->port : 0, c.port) << c.text;
    }
}

// The tool itself: a bad file ends it at start, before any poller or port.
TEST(Targets, ToolStopsAtStartOnABadFileWithExit2) {
    QTemporaryDir dir;
    const QString bad = dir.filePath(QStringLiteral("bad.ini"));
    const QString good = dir.filePath(QStringLiteral("good.ini"));
    QFile b(bad), g(good);
    ASSERT_TRUE(b.open(QIODevice::WriteOnly) && g.open(QIODevice::WriteOnly));
    b.write("[a]\nport=tcp://127.0.0.1:1\nstations=1\nspeed=9600\n");
    g.write(Good);
    b.close();
    g.close();

    const struct {
        QStringList args;
        int exit;
        QString err; // the one line on standard error
    } cases[] = {
        {{"export", "--config", bad}, 2, bad + QStringLiteral(":4: unknown key 'speed'")},
        {{"export", "--check", "--config", bad},
         2,
         bad + QStringLiteral(":4: unknown key 'speed'")},
        {{"export", "--config", dir.filePath("missing.ini")}, 2, dir.filePath("missing.ini")},
        {{"export", "--check", "--config", good}, 0, QString()},
        {{"export", "--config", good, "--listen", "9584"}, 2, QStringLiteral("--listen")},
        {{"export"}, 2, QStringLiteral("--config")},
    };
    for (const auto& c : cases) {
        const auto run = qmt::test::runCli(c.args, 10000);
        EXPECT_EQ(run.exitCode, c.exit) << c.args.join(' ').toStdString();
        if (c.err.isEmpty()) {
            EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
            EXPECT_EQ(run.out, good + QStringLiteral(": 2 lines, 5 stations\n"));
        } else {
            EXPECT_TRUE(run.err.contains(c.err)) << run.err.toStdString();
            EXPECT_EQ(run.err.count(QLatin1Char('\n')), 1) << run.err.toStdString();
        }
    }
}

} // namespace
