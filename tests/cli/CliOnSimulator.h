#pragma once
// qmt584-cli run as a child process against a simulator the test starts: a
// settings file naming the simulator's link, and the requests the simulator
// received, to tell what reached the module.
#include "CliProcess.h"
#include "LinkSettings.h"

#include "testing/SimProcess.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qmt::test {

class CliOnSimulator : public ::testing::Test {
protected:
    void start(std::vector<std::string> args = {}) {
        args.insert(args.end(), {"--baud", "19200", "--parity", "even"});
        link = QString::fromStdString(sim.start(args));
        ASSERT_FALSE(link.isEmpty()) << sim.error();
        settings = writeLinkSettings(dir, link, 19200);
        ASSERT_FALSE(settings.isEmpty());
    }
    // The line settings from the file, as the program would take them.
    QStringList line() const { return {"--settings", settings}; }
    CliRun cli(const QStringList& args) { return runCli(line() + args); }
    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }
    // "LINK, станция N: " in front of a module's error.
    QString at(int station = 1) const {
        return QStringLiteral("%1, станция %2: ").arg(link).arg(station);
    }
    // The requests from the first write on.
    static std::vector<std::string> writes(const std::vector<std::string>& trace) {
        std::vector<std::string> requests;
        for (const std::string& line : trace) {
            if (line.rfind("< ", 0) != 0) continue;
            if (requests.empty() && line.compare(5, 2, "10") != 0) continue;
            requests.push_back(line);
        }
        return requests;
    }
    // How many write requests (function 16) the simulator received.
    size_t writeCount() const {
        size_t n = 0;
        for (const std::string& line : sim.traceLines())
            n += line.rfind("< ", 0) == 0 && line.compare(5, 2, "10") == 0;
        return n;
    }

    QTemporaryDir dir;
    sim::SimProcess sim;
    QString link;
    QString settings;
};

} // namespace qmt::test
