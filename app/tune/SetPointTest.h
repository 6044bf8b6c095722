// The check of a tuning: the regulator's default set point (XsDef) stepped by
// a chosen size, Xs and Xm sampled for a given time, and the old set point
// written back at the end, on cancel, and (held as the bump test holds it)
// again every second until it reads back.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <vector>

namespace qmt::tune {

class SetPointTest : public QObject {
    Q_OBJECT
public:
    explicit SetPointTest(QObject* parent = nullptr);
    ~SetPointTest() override;

    // Raises Exception (a step that leaves -32768..32767) or ECommError before any write.
    void start(int regulator, int step, double duration, int periodMs = 100);
    void cancel();
    bool restoreNow();

    bool running() const { return timer_.isActive() && !restoring_; }
    bool restorePending() const { return pending_; }
    // The first sample is taken just before the step; t in s from it.
    const std::vector<double>& t() const { return t_; }
    const std::vector<double>& xs() const { return xs_; }
    const std::vector<double>& xm() const { return xm_; }
    int16_t oldSetPoint() const { return old_; }

signals:
    void sampled(double t, double xs, double xm);
    void restoreChanged(bool pending);
    void finished();

private:
    void tick();
    void sample();
    void beginRestore();

    QTimer timer_;
    int n_ = 0;
    uint8_t station_ = 0;
    int16_t old_ = 0;
    double duration_ = 0.0;
    QDateTime started_;
    bool pending_ = false, restoring_ = false;
    std::vector<double> t_, xs_, xm_;
};

} // namespace qmt::tune
