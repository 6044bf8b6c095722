#pragma once
// Running one invocation of qmt584-cli against the module: the settings, the
// library and the port, then the command, station by station where it may.

#include "cli/CliOptions.h"
#include "config/ModuleConfig.h"

#include <QFile>
#include <QString>

#include <functional>

namespace qmt::cli {

// Exit codes.
constexpr int Success = 0;
constexpr int Failed = 1; // the module, the file, or a difference found by diff
constexpr int UsageError = 2;

// Lines for the user: results on standard output as they are, errors on
// standard error as one line, with the station in front when several take part.
// A module's failure names the port and the station it came from, since the
// settings may have come from a file the user never looked at.
class Report {
public:
    Report(QString prefix, QString where) : prefix_(std::move(prefix)), where_(std::move(where)) {}
    void out(const QString& text) const;
    void error(const QString& text) const;
    void moduleError(const QString& text) const;

private:
    QString prefix_;
    QString where_; // "/dev/ttyS0, станция 1"
};

// "qmt584-cli: WHAT (...)" on standard error; the usage error's exit code.
int RefuseUsage(const QString& what);

// The settings file the program itself reads: beside it, or in the user's
// configuration folder (where the program would keep it).
QString ProgramSettingsPath();

int Run(const Invocation& invocation);

// The configuration write-config would send for the .pid file at path, the
// same for diff and --dry-run. Raises qmt::Exception, with one line naming
// the file, for a file that is missing, unreadable, not a .pid, lacks a key
// or holds one that does not read as a number: such a file must reach no
// module as the defaults in place of its missing words.
ModuleConfig ConfigToWrite(const QString& path);

// The commands, with the port open and PortSettings.address the station.
int ReadConfig(const Invocation& invocation, const Report& report, bool severalStations);
int WriteConfig(const Invocation& invocation, const ModuleConfig& file, const Report& report);
int DiffConfig(const ModuleConfig& file, const Report& report, bool several);
int Values(const Invocation& invocation, const Report& report);
int Tune(const Invocation& invocation, const Report& report);

// The station list of the line: one line for each station that answers.
int Scan(const Invocation& invocation, const Report& report);

// --trace FILE: every request and reply of the run appended to the file for
// the life of this object. error() is not empty when that cannot be done.
class TraceFile {
public:
    explicit TraceFile(const QString& path);
    ~TraceFile();
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;
    const QString& error() const { return error_; }

private:
    QFile file_;
    QString error_;
    int listener_ = 0;
};

// "conf.pid" for station 3 of several: "conf-3.pid".
QString StationFile(const QString& path, int station);

} // namespace qmt::cli
