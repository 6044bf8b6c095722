#include "tune/BumpTest.h"

#include "common/Seams.h"
#include "link/Errors.h"
#include "link/PortSettings.h"
#include "link/RegisterAccess.h"
#include "link/RegisterMap.h"
#include "link/RegulatorHold.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace qmt::tune {
namespace {

constexpr int kRetryMs = 1000;      // between restore attempts
constexpr size_t kSteadySamples = 20; // the window of the steadiness before the step
constexpr double kOnsetSigmas = 6.0;  // the response has begun past this much noise
constexpr double kSteadyBand = 0.03;  // of the change: no more drift than this across the window

int16_t s16(uint16_t w) {
    return static_cast<int16_t>(w);
}

} // namespace

// Both halves of the window steady: a line through it all is also flat at
// the turn of a swing, which is no rest. The window is the last twenty
// samples or the last half of the wait, whichever is longer, so that a slow
// plant's last drift is seen across the time it takes.
bool atRest(const std::vector<double>& t, const std::vector<double>& x) {
    if (t.size() < kSteadySamples || x.size() != t.size()) return false;
    const double since = t.back() - (t.back() - t.front()) / 2;
    const size_t first = std::min(t.size() - kSteadySamples,
                                  size_t(std::lower_bound(t.begin(), t.end(), since) - t.begin()));
    const double band = 3 * noiseLevel(x);
    const size_t half = (t.size() - first) / 2;
    for (size_t from : {first, t.size() - half}) {
        const std::vector<double> ht(t.begin() + long(from), t.begin() + long(from + half));
        const std::vector<double> hx(x.begin() + long(from), x.begin() + long(from + half));
        if (!isSteady(ht, hx, ht.back() - ht.front(), band / 2)) return false;
    }
    return true;
}

bool RegulatorState::reverse() const {
    return control & reg::pid::ReverseAction;
}

RegulatorState readRegulator(int n) {
    uint16_t p[reg::PidBlockSize] = {};
    uint16_t l[reg::LiveBlockSize] = {};
    ReadRegisters(reg::PidBlock(n), reg::PidBlockSize, p);
    ReadRegisters(reg::LiveBlock(n), reg::LiveBlockSize, l);
    namespace pid = reg::pid;
    namespace live = reg::live;
    RegulatorState s;
    s.kp = p[pid::Kp];
    s.ti = p[pid::Ti];
    s.td = p[pid::Td];
    s.ts = p[pid::Ts];
    s.ymax = s16(p[pid::Ymax]);
    s.ymin = s16(p[pid::Ymin]);
    s.control = p[pid::PIDControl];
    s.xs = s16(l[live::Xs]);
    s.xm = s16(l[live::Xm]);
    s.y = s16(l[live::Y]);
    s.xfo = s16(l[live::Xfo]);
    return s;
}

QString stepRefusal(const RegulatorState& s, double dy) {
    if (!std::isfinite(dy) || dy == 0.0)
        return QStringLiteral("Скачок выхода ΔY должен быть отличен от нуля.");
    const double y = s.y + dy;
    if (y > s.ymax)
        return QStringLiteral("Выход %1 + ΔY %2 = %3 больше верхней границы Ymax = %4.")
            .arg(s.y)
            .arg(dy)
            .arg(y)
            .arg(s.ymax);
    if (y < s.ymin)
        return QStringLiteral("Выход %1 + ΔY %2 = %3 меньше нижней границы Ymin = %4.")
            .arg(s.y)
            .arg(dy)
            .arg(y)
            .arg(s.ymin);
    return QString();
}

BumpTest::BumpTest(QObject* parent) : QObject(parent) {
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &BumpTest::tick);
}

BumpTest::~BumpTest() {
    if (pending_) restoreNow();
}

void BumpTest::start(const BumpSetup& setup) {
    if (phase_ != Phase::Idle && phase_ != Phase::Done)
        throw Exception(QStringLiteral("Опыт уже идёт."));
    if (pending_)
        throw Exception(QStringLiteral("Регулятор ещё не восстановлен после прошлого опыта."));
    setup_ = setup;
    station_ = PortSettings.address;
    saved_ = readRegulator(setup.regulator);
    const QString refusal = stepRefusal(saved_, setup.outputStep);
    if (!refusal.isEmpty()) throw Exception(refusal);

    record_ = StepRecord{};
    record_.outputStep = setup.outputStep;
    record_.reverse = saved_.reverse();
    stepped_ = false;
    end_ = End::None;
    lineError_.clear();
    started_ = clock().now();

    holdRegulator(station_, setup.regulator);
    pending_ = true;
    emit restoreChanged(true);
    try {
        HoldOwner own(station_, setup.regulator);
        WriteRegister(uint16_t(reg::LiveBlock(setup.regulator) + reg::live::Xfo),
                      uint16_t(saved_.y));
        WriteRegister(reg::PidWord(setup.regulator, reg::pid::PIDControl),
                      uint16_t(saved_.control | reg::pid::ForcedOutput));
    } catch (const ECommError& error) {
        lineError_ = error.message();
        beginRestore(End::LinkLost);
        return;
    }
    setPhase(Phase::Settling);
    timer_.start(setup.periodMs);
}

void BumpTest::cancel() {
    if (phase_ == Phase::Settling || phase_ == Phase::Recording) beginRestore(End::Cancelled);
}

double BumpTest::elapsed() const {
    return started_.msecsTo(clock().now()) / 1000.0;
}

void BumpTest::tick() {
    if (phase_ == Phase::Restoring) {
        restoreNow();
        return;
    }
    try {
        sample();
    } catch (const ECommError& error) {
        lineError_ = error.message();
        beginRestore(End::LinkLost);
        return;
    }
    if (phase_ == Phase::Settling) {
        // A tenth of the test at least: an output just changed by hand moves
        // Xm only after the plant's dead time, and the wait must outlast it.
        // A quarter at most, then the step all the same.
        const double waited = elapsed();
        if ((waited >= setup_.maxTime / 10 && steadyBeforeStep()) || waited > setup_.maxTime / 4)
            makeStep();
    } else if (elapsed() >= setup_.maxTime) {
        beginRestore(End::TimeUp);
    } else if (steadyAfterStep()) {
        beginRestore(End::Steady);
    }
}

void BumpTest::sample() {
    const double t = elapsed();
    const uint16_t xm = ReadRegister(uint16_t(reg::LiveBlock(setup_.regulator) + reg::live::Xm));
    record_.t.push_back(t);
    record_.xm.push_back(s16(xm));
    emit sampled(t, s16(xm));
}

bool BumpTest::steadyBeforeStep() const {
    return atRest(record_.t, record_.xm);
}

// Steady once the response has begun and the line through the last half of
// it since moves by less than 3 % of the change: about seven time constants.
bool BumpTest::steadyAfterStep() const {
    const auto& t = record_.t;
    const auto& x = record_.xm;
    const size_t before = size_t(std::count_if(t.begin(), t.end(),
                                               [&](double v) { return v <= record_.stepTime; }));
    if (before == 0 || x.size() < before + 2 * kSteadySamples) return false;
    // The rest before the step, not the settling that came before it.
    const size_t restFrom = before > kSteadySamples ? before - kSteadySamples : 0;
    const std::vector<double> pre(x.begin() + long(restFrom), x.begin() + long(before));
    const double base = std::accumulate(pre.begin(), pre.end(), 0.0) / double(pre.size());
    const double sigma = noiseLevel(pre);
    size_t onset = before;
    while (onset < x.size() && std::fabs(x[onset] - base) <= kOnsetSigmas * sigma)
        ++onset;
    if (x.size() < onset + kSteadySamples) return false;
    const double window = (t.back() - t[onset]) / 2;
    const double band = std::max(3 * sigma, kSteadyBand * std::fabs(x.back() - base));
    return isSteady(t, x, window, band);
}

void BumpTest::makeStep() {
    try {
        HoldOwner own(station_, setup_.regulator);
        record_.stepTime = elapsed();
        WriteRegister(uint16_t(reg::LiveBlock(setup_.regulator) + reg::live::Xfo),
                      uint16_t(int16_t(std::lround(saved_.y + setup_.outputStep))));
    } catch (const ECommError& error) {
        lineError_ = error.message();
        beginRestore(End::LinkLost);
        return;
    }
    stepped_ = true;
    setPhase(Phase::Recording);
}

void BumpTest::beginRestore(End why) {
    end_ = why;
    setPhase(Phase::Restoring);
    timer_.stop();
    if (!restoreNow()) timer_.start(kRetryMs);
}

bool BumpTest::restoreNow() {
    if (!pending_) return true;
    const int n = setup_.regulator;
    const uint16_t xfo = reg::LiveBlock(n) + reg::live::Xfo;
    const uint16_t control = reg::PidWord(n, reg::pid::PIDControl);
    const uint8_t station = PortSettings.address;
    PortSettings.address = station_; // the test's module, whatever is chosen since
    try {
        HoldOwner own(station_, n);
        // The output is never driven by a value the user did not leave: with
        // forced output left off, the regulator takes over before the value goes back.
        const bool forcedBefore = saved_.control & reg::pid::ForcedOutput;
        if (forcedBefore) WriteRegister(xfo, uint16_t(saved_.xfo));
        WriteRegister(control, saved_.control);
        if (!forcedBefore) WriteRegister(xfo, uint16_t(saved_.xfo));
        const bool confirmed = ReadRegister(control) == saved_.control &&
                               s16(ReadRegister(xfo)) == saved_.xfo;
        PortSettings.address = station;
        if (!confirmed) return false;
    } catch (const ECommError& error) {
        PortSettings.address = station;
        lineError_ = error.message();
        return false;
    }
    timer_.stop();
    pending_ = false;
    releaseRegulator(station_, n);
    emit restoreChanged(false);
    setPhase(Phase::Done);
    emit finished();
    return true;
}

// From the steady window before the step on: the settling before it is no
// part of the step response.
Identification BumpTest::identification() const {
    StepRecord r = record_;
    const size_t before = size_t(std::count_if(r.t.begin(), r.t.end(),
                                               [&](double v) { return v <= r.stepTime; }));
    const long drop = long(before > kSteadySamples ? before - kSteadySamples : 0);
    r.t.erase(r.t.begin(), r.t.begin() + drop);
    r.xm.erase(r.xm.begin(), r.xm.begin() + drop);
    return identify(r);
}

void BumpTest::setPhase(Phase phase) {
    if (phase_ == phase) return;
    phase_ = phase;
    emit phaseChanged(phase);
}

} // namespace qmt::tune
