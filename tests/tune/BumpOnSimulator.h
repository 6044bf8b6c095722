#pragma once
// The bump test against qmt584-sim through the library, on a clock that runs
// with the simulator's, and a way to run a test to its end.
#include "ScaledClock.h"
#include "SimulatorFixture.h"

#include "tune/BumpTest.h"

#include <QEventLoop>
#include <QTimer>

namespace qmt::test {

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
