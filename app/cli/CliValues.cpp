// values: the values window's read cycle, one line per cycle, and its value log.
#include "cli/CliRun.h"

#include "common/Cp1251.h"
#include "common/Seams.h"
#include "monitor/ValueLog.h"
#include "monitor/ValuesCycle.h"

#include <QFileInfo>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <ctime>

namespace qmt::cli {
namespace {

// Ctrl-C and SIGTERM are held back while a cycle runs, so that no request is
// cut in half and every line reaches the log whole; they are taken between
// the cycles, where the run then ends.
class StopSignals {
public:
    StopSignals() {
        sigemptyset(&set_);
        sigaddset(&set_, SIGINT);
        sigaddset(&set_, SIGTERM);
        sigprocmask(SIG_BLOCK, &set_, &old_);
    }
    // A signal that came during the last cycle, or during one that failed,
    // is taken here: the run ends anyway, and the error line and the
    // command's exit code must not die with it.
    ~StopSignals() {
        timespec now{0, 0};
        while (sigtimedwait(&set_, nullptr, &now) > 0) {
        }
        sigprocmask(SIG_SETMASK, &old_, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Waits up to ms for a stop signal; true when one came (or was pending).
    bool wait(std::chrono::milliseconds ms) {
        if (ms.count() < 0) ms = std::chrono::milliseconds(0);
        timespec timeout{static_cast<time_t>(ms.count() / 1000),
                         static_cast<long>(ms.count() % 1000) * 1000000L};
        for (;;) {
            const int signal = sigtimedwait(&set_, nullptr, &timeout);
            if (signal > 0) return true;
            if (errno != EINTR) return false; // the time is up
        }
    }

private:
    sigset_t set_, old_;
};

// A log line as the terminal shows it.
QString shown(const QByteArray& line) {
    return fromCp1251(line.chopped(2)); // without its CR LF
}

} // namespace

int Values(const Invocation& inv, const Report& report) {
    StopSignals stop;
    const RegulatorChannelTable regulators = RegulatorChannels();
    const ModuleChannelTable module = ModuleChannels();
    const QStringList names = LogChannelNames(regulators, module);

    ValueLog log;
    const QString path = inv.logFile;
    if (!path.isEmpty()) {
        const int slash = path.lastIndexOf(QLatin1Char('/'));
        if (slash > 0 && !QFileInfo(path.left(slash)).isDir()) {
            report.error(QStringLiteral("Путь не существует!"));
            return Failed;
        }
        // A night run's log is not replaced unless asked to.
        if (!log.open(path, clock().now().toUTC(), !inv.overwrite)) {
            if (errno == EEXIST)
                report.error(QStringLiteral("Файл существует! ") + path);
            else
                report.error(QStringLiteral("Невозможно создать файл ") + path);
            return Failed;
        }
        if (!log.writeHeader(names)) {
            report.error(QStringLiteral("Ошибка записи в файл ") + path);
            return Failed;
        }
    }
    const QDateTime start = clock().now().toUTC();
    report.out(shown(ValueLog::headerLine(names)));

    const auto period = std::chrono::milliseconds(inv.periodMs);
    for (long long cycle = 0; inv.count < 0 || cycle < inv.count; ++cycle) {
        const auto began = std::chrono::steady_clock::now();
        ValuesReading reading;
        reading.read(); // a failure ends the run; the log keeps its whole lines
        const QStringList texts = reading.logTexts(regulators, module);
        const QDateTime now = clock().now().toUTC();
        if (log.isOpen() && !log.writeData(now, texts)) {
            report.error(QStringLiteral("Ошибка записи в файл ") + path);
            return Failed;
        }
        report.out(shown(ValueLog::dataLine(ValueLog::elapsedHundredths(start, now), texts)));
        if (inv.count >= 0 && cycle + 1 >= inv.count) break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            began + period - std::chrono::steady_clock::now());
        if (stop.wait(left)) break;
    }
    return Success;
}

} // namespace qmt::cli
