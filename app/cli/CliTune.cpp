// tune: the tuning window's bump test from a shell. The model and the
// proposal as NAME VALUE lines; the proposal written only with --write; the
// regulator restored however the test ends.
#include "cli/CliRun.h"

#include "common/Seams.h"
#include "config/PidWrite.h"
#include "link/Errors.h"
#include "link/RegisterMap.h"
#include "tune/BumpTest.h"
#include "tune/Rules.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QTextStream>
#include <QTimer>

#include <cmath>
#include <csignal>
#include <ctime>

namespace qmt::cli {
namespace {

// How long a lost link may keep the restore waiting before the tool gives up
// and says what is left to write.
constexpr double kRestoreGiveUpS = 120.0;

// A number of seconds with a decimal point, greater than 0.
bool seconds(const QString& text, double& out) {
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v <= 0) return false;
    out = v;
    return true;
}

// Ctrl-C and SIGTERM are taken between the test's requests, never inside one.
class Signals {
public:
    Signals() {
        sigemptyset(&set_);
        sigaddset(&set_, SIGINT);
        sigaddset(&set_, SIGTERM);
        sigprocmask(SIG_BLOCK, &set_, &old_);
    }
    ~Signals() { sigprocmask(SIG_SETMASK, &old_, nullptr); }
    Signals(const Signals&) = delete;
    Signals& operator=(const Signals&) = delete;
    bool pending() {
        timespec now{0, 0};
        return sigtimedwait(&set_, nullptr, &now) > 0;
    }

private:
    sigset_t set_, old_;
};

QString number(double v, int places) {
    return QString::number(v, 'f', places);
}

bool writeLog(const QString& path, const tune::StepRecord& r, const Report& report) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Text)) {
        report.error(QStringLiteral("%1: файл не создан (%2)").arg(path, file.errorString()));
        return false;
    }
    QTextStream out(&file);
    out << "# t_s xm  (step of Y " << r.outputStep << " at t = " << number(r.stepTime, 3)
        << " s)\n";
    for (size_t i = 0; i < r.t.size(); ++i)
        out << number(r.t[i], 3) << ' ' << r.xm[i] << '\n';
    return true;
}

} // namespace

QString ParseTuneOptions(const Invocation& inv, TuneOptions& out) {
    const auto& o = inv.options;
    long long n = 0;
    if (!o.contains(QStringLiteral("--regulator")) || !o.contains(QStringLiteral("--step")))
        return QStringLiteral("tune: нужны --regulator N и --step DY");
    if (!ParseWholeInteger(o.value(QStringLiteral("--regulator")), 1, 3, n).isEmpty() ||
        o.value(QStringLiteral("--regulator")).startsWith(QLatin1String("0x")))
        return QStringLiteral("--regulator: нужен номер регулятора 1, 2 или 3");
    out.regulator = int(n) - 1;
    const QString step = o.value(QStringLiteral("--step"));
    if (!ParseWholeInteger(step, -32768, 32767, n).isEmpty() ||
        step.contains(QLatin1String("0x")) || n == 0)
        return QStringLiteral("--step: нужен скачок выхода — целое число от -32768 до 32767, "
                              "не 0");
    out.step = int(n);
    if (o.contains(QStringLiteral("--rule"))) {
        const QString rule = o.value(QStringLiteral("--rule"));
        if (rule != QLatin1String("simc") && rule != QLatin1String("lambda"))
            return QStringLiteral("--rule: нужно simc или lambda");
        out.lambda = rule == QLatin1String("lambda");
    }
    if (o.contains(QStringLiteral("--tc")) && !seconds(o.value(QStringLiteral("--tc")), out.tc))
        return QStringLiteral("--tc: нужно время в секундах больше 0, с точкой: 2.5");
    if (o.contains(QStringLiteral("--max-time")) &&
        !seconds(o.value(QStringLiteral("--max-time")), out.maxTime))
        return QStringLiteral("--max-time: нужно время в секундах больше 0, с точкой: 300");
    out.write = o.contains(QStringLiteral("--write"));
    return QString();
}

int Tune(const Invocation& inv, const Report& report) {
    TuneOptions opt;
    const QString usage = ParseTuneOptions(inv, opt);
    if (!usage.isEmpty()) return RefuseUsage(usage);
    if (!inv.logFile.isEmpty() && QFile::exists(inv.logFile)) {
        report.error(QStringLiteral("%1: файл уже есть, опыт не начат").arg(inv.logFile));
        return Failed;
    }
    Signals stop;
    tune::BumpTest test;
    tune::BumpSetup setup;
    setup.regulator = opt.regulator;
    setup.outputStep = opt.step;
    setup.maxTime = opt.maxTime;
    test.start(setup); // refusals and a silent module raise before any write

    QEventLoop loop;
    QObject::connect(&test, &tune::BumpTest::finished, &loop, &QEventLoop::quit);
    QTimer watch;
    QDateTime lost;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (stop.pending()) test.cancel();
        if (test.phase() != tune::BumpTest::Phase::Restoring) return;
        if (!lost.isValid()) lost = clock().now();
        if (lost.msecsTo(clock().now()) > kRestoreGiveUpS * 1000) loop.quit();
    });
    watch.start(50);
    if (test.phase() != tune::BumpTest::Phase::Done) loop.exec();
    watch.stop();

    if (test.restorePending()) {
        report.moduleError(
            QStringLiteral("регулятор ПИД%1 не восстановлен: запишите PIDControl = %2 и Xfo = %3 (%4)")
                .arg(opt.regulator + 1)
                .arg(test.saved().control)
                .arg(test.saved().xfo)
                .arg(test.lineError()));
        return Failed;
    }
    if (!inv.logFile.isEmpty() && !writeLog(inv.logFile, test.record(), report)) return Failed;
    switch (test.end()) {
    case tune::BumpTest::End::Cancelled:
        report.error(QStringLiteral("опыт прерван, регулятор восстановлен"));
        return Failed;
    case tune::BumpTest::End::LinkLost:
        report.moduleError(QStringLiteral("связь потеряна во время опыта, регулятор восстановлен: ") +
                           test.lineError());
        return Failed;
    default:
        break;
    }
    const tune::Identification id = test.identification();
    if (!id.ok()) {
        report.error(id.reason);
        return Failed;
    }
    const uint16_t ts = test.saved().ts;
    const double tc = opt.tc > 0 ? opt.tc : tune::closedLoopTime(tune::Speed::Smooth, id.model, ts);
    const tune::Proposal p =
        tune::propose(id.model, opt.lambda ? tune::Rule::Lambda : tune::Rule::Simc, tc, ts);
    report.out(QStringLiteral("K ") + QString::number(id.model.gain, 'g', 6));
    report.out(QStringLiteral("T ") + number(id.model.timeConstant, 3));
    report.out(QStringLiteral("L ") + number(id.model.deadTime, 3));
    report.out(QStringLiteral("fit_error_pct ") + number(id.fitErrorPct, 2));
    report.out(QStringLiteral("Kp ") + number(p.written.kp, 2));
    report.out(QStringLiteral("Ti ") + number(p.written.ti, 3));
    report.out(QStringLiteral("Td ") + number(p.written.td, 4));
    report.out(QStringLiteral("Kp_word %1").arg(p.words.kp));
    report.out(QStringLiteral("Ti_word %1").arg(p.words.ti));
    report.out(QStringLiteral("Td_word %1").arg(p.words.td));
    for (const QString& note : p.notes)
        report.error(note);
    if (opt.write) {
        using reg::pid::Kp, reg::pid::Ti, reg::pid::Td, reg::pid::XsDef;
        WritePidParameters(opt.regulator, {{Kp - XsDef, p.words.kp},
                                           {Ti - XsDef, p.words.ti},
                                           {Td - XsDef, p.words.td}});
        report.error(QStringLiteral("записано в ПИД%1: Kp %2, Ti %3, Td %4")
                         .arg(opt.regulator + 1)
                         .arg(p.words.kp)
                         .arg(p.words.ti)
                         .arg(p.words.td));
    }
    return Success;
}

} // namespace qmt::cli
