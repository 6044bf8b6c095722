#pragma once
// Runs qmt584-cli as a child process: its exit code and both outputs.

#include <QProcess>
#include <QString>
#include <QStringList>

namespace qmt::test {

struct CliRun {
    int exitCode = -1;
    QString out, err;
};

inline CliRun runCli(const QStringList& args, int timeoutMs = 30000) {
    QProcess process;
    process.start(QStringLiteral(CLI_FILE), args);
    CliRun run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace qmt::test
