#include "tune/SetPointTest.h"

#include "common/Seams.h"
#include "link/Errors.h"
#include "link/PortSettings.h"
#include "link/RegisterAccess.h"
#include "link/RegisterMap.h"
#include "link/RegulatorHold.h"

namespace qmt::tune {
namespace {

constexpr int kRetryMs = 1000;

uint16_t setPointRegister(int n) {
    return reg::PidWord(n, reg::pid::XsDef);
}

} // namespace

SetPointTest::SetPointTest(QObject* parent) : QObject(parent) {
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &SetPointTest::tick);
}

SetPointTest::~SetPointTest() {
    if (pending_) restoreNow();
}

void SetPointTest::start(int regulator, int step, double duration, int periodMs) {
    if (pending_) throw Exception(QStringLiteral("Уставка ещё не восстановлена после проверки."));
    n_ = regulator;
    station_ = PortSettings.address;
    old_ = static_cast<int16_t>(ReadRegister(setPointRegister(n_)));
    const int target = old_ + step;
    if (step == 0 || target < -32768 || target > 32767)
        throw Exception(QStringLiteral("Уставка %1 + скачок %2 выходит за пределы -32768 - 32767 "
                                       "или скачок равен нулю.")
                            .arg(old_)
                            .arg(step));
    duration_ = duration;
    t_.clear();
    xs_.clear();
    xm_.clear();
    holdRegulator(station_, n_);
    pending_ = true;
    restoring_ = false;
    emit restoreChanged(true);
    started_ = clock().now();
    try {
        // The loop as it stood: the figures' step is the change from this sample.
        sample();
        HoldOwner own(station_, n_);
        WriteRegister(setPointRegister(n_), uint16_t(int16_t(target)));
    } catch (const ECommError&) {
        beginRestore();
        return;
    }
    timer_.start(periodMs);
}

void SetPointTest::cancel() {
    if (pending_ && !restoring_) beginRestore();
}

void SetPointTest::tick() {
    if (restoring_) {
        restoreNow();
        return;
    }
    try {
        sample();
    } catch (const ECommError&) {
        beginRestore();
        return;
    }
    if (t_.back() >= duration_) beginRestore();
}

void SetPointTest::sample() {
    const double t = started_.msecsTo(clock().now()) / 1000.0;
    uint16_t w[2] = {};
    ReadRegisters(reg::LiveBlock(n_) + reg::live::Xs, 2, w);
    t_.push_back(t);
    xs_.push_back(int16_t(w[0]));
    xm_.push_back(int16_t(w[1]));
    emit sampled(t, xs_.back(), xm_.back());
}

void SetPointTest::beginRestore() {
    restoring_ = true;
    timer_.stop();
    if (!restoreNow()) timer_.start(kRetryMs);
}

bool SetPointTest::restoreNow() {
    if (!pending_) return true;
    const uint8_t station = PortSettings.address;
    PortSettings.address = station_;
    bool confirmed = false;
    try {
        HoldOwner own(station_, n_);
        WriteRegister(setPointRegister(n_), uint16_t(old_));
        confirmed = int16_t(ReadRegister(setPointRegister(n_))) == old_;
    } catch (const ECommError&) {
    }
    PortSettings.address = station;
    if (!confirmed) return false;
    timer_.stop();
    pending_ = false;
    restoring_ = false;
    releaseRegulator(station_, n_);
    emit restoreChanged(false);
    emit finished();
    return true;
}

} // namespace qmt::tune
