#pragma once
// The bump test against qmt584-sim through the library: a clock that runs
// with the simulator's (--time-scale X), so that the figures come out in the
// plant's own seconds, and helpers to run a test to its end.
#include "SimulatorFixture.h"

#include "tune/BumpTest.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

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

// Runs the event loop until the object signals finished, or ms of wall time.
template <class Test> bool runToEnd(Test& test, int ms) {
    QEventLoop loop;
    QObject::connect(&test, &Test::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return !test.restorePending();
}

class BumpOnSimulator : public OnSimulator<> {
protected:
    // A quiet line with these plants and options, the program's port on it.
    void startWith(std::vector<std::string> options) {
        options.insert(options.end(), {"--load", "0"});
        ASSERT_FALSE(startEven(options).isEmpty());
        ASSERT_TRUE(openEven());
    }
    // The restoring writes: function 16 requests after the step's.
    std::vector<std::string> writes() const {
        std::vector<std::string> out;
        for (const std::string& line : sim.traceLines())
            if (line.rfind("< 01 10", 0) == 0) out.push_back(line);
        return out;
    }
};

} // namespace qmt::test
