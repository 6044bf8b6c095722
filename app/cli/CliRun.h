#pragma once
// Running one invocation of qmt584-cli against the module: the settings, the
// library and the port, then the command, station by station where it may.

#include "cli/CliOptions.h"

#include <QString>

#include <functional>

namespace qmt::cli {

// Exit codes.
constexpr int Success = 0;
constexpr int Failed = 1; // the module, the file, or a difference found by diff
constexpr int UsageError = 2;

// Lines for the user: results on standard output as they are, errors on
// standard error as one line, with the station in front when several take part.
class Report {
public:
    explicit Report(QString prefix = QString()) : prefix_(std::move(prefix)) {}
    void out(const QString& text) const;
    void error(const QString& text) const;

private:
    QString prefix_;
};

// The settings file the program itself reads: beside it, or in the user's
// configuration folder (where the program would keep it).
QString ProgramSettingsPath();

int Run(const Invocation& invocation);

// The commands, with the port open and PortSettings.address the station.
int ReadConfig(const Invocation& invocation, const Report& report, bool severalStations);
int WriteConfig(const Invocation& invocation, const Report& report);
int DiffConfig(const Invocation& invocation, const Report& report, bool several);
int Values(const Invocation& invocation, const Report& report);

// "conf.pid" for station 3 of several: "conf-3.pid".
QString StationFile(const QString& path, int station);

} // namespace qmt::cli
