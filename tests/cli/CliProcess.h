#pragma once
// Runs qmt584-cli as a child process: its exit code and both outputs.

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <ostream>

// Failed comparisons show the text, not its UTF-16 units.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace qmt::test {

struct CliRun {
    int exitCode = -1;
    QString out, err;
};

// The tool finds libvornlink.so beside itself through its run path. Under the
// sanitizers their dlopen wrapper is the caller, whose run path lacks that
// folder, so the sanitized tree names it; a release build needs nothing.
inline void prepareCli(QProcess& process) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
#if CLI_SANITIZED
    env.insert(QStringLiteral("LD_LIBRARY_PATH"),
               QFileInfo(QStringLiteral(CLI_FILE)).absolutePath());
#else
    env.remove(QStringLiteral("LD_LIBRARY_PATH"));
#endif
    process.setProcessEnvironment(env);
}

inline CliRun runCli(const QStringList& args, int timeoutMs = 30000) {
    QProcess process;
    prepareCli(process);
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
