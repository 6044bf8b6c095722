// The bump test on the module: save the regulator's control word and forced
// value, hold the output at its present value in forced output, wait for a
// steady Xm, step the output, sample Xm one register per request, and write
// back what was saved. The window and the command line run this one class.
//
// A QTimer drives it: every tick makes one request and returns to the event
// loop, so nothing waits inside the line's blocking calls. Its clock is the
// program's (qmt::clock()). Until the restore has been read back, the
// regulator is held (link/RegulatorHold.h) and the restore is tried again
// every second, also across a lost link.
#pragma once

#include "tune/Identify.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QDateTime>

#include <cstdint>
#include <vector>

namespace qmt::tune {

// What the test needs of the regulator, read from the module.
struct RegulatorState {
    uint16_t kp = 0, ti = 0, td = 0, ts = 0;
    int16_t ymax = 0, ymin = 0;
    uint16_t control = 0; // PIDControl
    int16_t xs = 0, xm = 0, y = 0, xfo = 0;
    bool reverse() const;
};

// Reads the parameter and live blocks of regulator n (0..2); raises ECommError.
RegulatorState readRegulator(int n);

// Why an output step dy from the present output cannot be made (Y + dy
// outside Ymin..Ymax, or no step), or an empty text.
QString stepRefusal(const RegulatorState& state, double dy);

// Whether Xm is at rest, the test's wait before the step: each half of the
// last twenty samples, or of the last half of the record when that is
// longer, steady within three times the noise.
bool atRest(const std::vector<double>& t, const std::vector<double>& x);

struct BumpSetup {
    int regulator = 0;       // 0..2
    double outputStep = 0.0; // ΔY
    // s on the program's clock, from the start; the wait before the step takes
    // a tenth of it at least and a quarter at most.
    double maxTime = 600.0;
    int periodMs = 100;      // between requests
};

class BumpTest : public QObject {
    Q_OBJECT
public:
    enum class Phase { Idle, Settling, Recording, Restoring, Done };
    enum class End { None, Steady, TimeUp, Cancelled, LinkLost };

    explicit BumpTest(QObject* parent = nullptr);
    // Restores, once and at once, when the test has not been restored yet.
    ~BumpTest() override;

    // Reads and saves the regulator, forces its output to the present value
    // and starts the timer. Refuses (raises Exception, ECommError) before any
    // write; a failed write after the first one leaves the test restoring.
    void start(const BumpSetup& setup);
    // Ends the test now and restores (the window's "Отмена", a signal).
    void cancel();
    // One restore attempt at once (the window's close, the program's end).
    bool restoreNow();

    Phase phase() const { return phase_; }
    End end() const { return end_; }
    bool restorePending() const { return pending_; }
    const RegulatorState& saved() const { return saved_; }
    const BumpSetup& setup() const { return setup_; }
    // The samples so far, t in seconds from the start; the step's time once made.
    const StepRecord& record() const { return record_; }
    bool stepped() const { return stepped_; }
    // Of the record, once done.
    Identification identification() const;
    // What went wrong on the line, for the engineer.
    const QString& lineError() const { return lineError_; }

signals:
    void sampled(double t, double xm);
    void phaseChanged(qmt::tune::BumpTest::Phase phase);
    // The restore is pending (true) or confirmed by read-back (false).
    void restoreChanged(bool pending);
    void finished();

private:
    void tick();
    void sample();
    bool steadyBeforeStep() const;
    bool steadyAfterStep() const;
    void makeStep();
    void beginRestore(End why);
    void setPhase(Phase phase);
    double elapsed() const;

    QTimer timer_;
    BumpSetup setup_;
    RegulatorState saved_;
    uint8_t station_ = 0;
    StepRecord record_;
    QDateTime started_;
    Phase phase_ = Phase::Idle;
    End end_ = End::None;
    bool stepped_ = false;
    bool pending_ = false;
    QString lineError_;
};

} // namespace qmt::tune
