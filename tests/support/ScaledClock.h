#pragma once
// A program clock that runs with qmt584-sim's --time-scale X: X times the
// wall clock, so that a tuning's figures come out in the plant's own seconds.
#include "common/Seams.h"

#include <QDateTime>
#include <QElapsedTimer>

#include <chrono>
#include <thread>

namespace qmt::test {

class ScaledClock : public Clock {
public:
    explicit ScaledClock(double scale) : scale_(scale) {
        timer_.start();
        setClock(this);
    }
    ~ScaledClock() override { setClock(nullptr); }
    QDateTime now() override {
        return start_.addMSecs(qint64(double(timer_.nsecsElapsed()) * scale_ / 1e6));
    }
    // The module's pauses are its own: real time, shortened as its clock runs faster.
    void sleepMs(int ms) override {
        std::this_thread::sleep_for(std::chrono::microseconds(qint64(ms * 1000 / scale_)));
    }

private:
    double scale_;
    QElapsedTimer timer_;
    QDateTime start_ = QDateTime(QDate(2026, 12, 11), QTime(8, 0));
};

} // namespace qmt::test
