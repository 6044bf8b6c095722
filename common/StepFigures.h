#pragma once
// Step-response figures of a regulator: samples of its set point and process
// value in, the textbook figures out. Depends on nothing but Qt Core.
//
// Definitions (the panel's tooltips and the manual page say the same):
// - the step instant is the first set-point sample at its new value; the
//   start level is the process value at that instant, the target the new
//   set point, and the change the target minus the start level;
// - rise time: from 10 % to 90 % of the change, each crossing interpolated
//   linearly between the samples around it;
// - overshoot: the farthest excursion beyond the target, in % of the change;
// - settling time ±2 % / ±5 %: from the step instant until the process value
//   stays within ±2 % / ±5 % of the change around the target;
// - steady level: the mean of the process value over the last tenth of the
//   time from the step to the range's end, when the tenth before has a mean
//   within 0.5 % of the change; the steady-state error is the target minus it.
// Where the loop settles off the set point, the same figures are also given
// against its steady level. Non-finite samples are gaps: a band entry or a
// crossing counts only at a finite sample, and interpolation bridges a gap
// to the finite samples on both sides, whether the gap is a run of NaN or
// missing samples.

#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace qmt {

// Samples of one channel by index, in time order. The searches have plain
// scans here; a store with an index over its samples answers them faster.
class StepTrace {
public:
    virtual ~StepTrace() = default;
    virtual int64_t size() const = 0;
    virtual int64_t time(int64_t i) const = 0;
    virtual double value(int64_t i) const = 0;
    // The first (last) finite sample of [a, b) outside [lo, hi]: b (a - 1) when none.
    virtual int64_t firstOutside(int64_t a, int64_t b, double lo, double hi) const;
    virtual int64_t lastOutside(int64_t a, int64_t b, double lo, double hi) const;
    // Of the finite samples of [a, b); false when there are none.
    virtual bool minMax(int64_t a, int64_t b, double& lo, double& hi) const;
    virtual bool mean(int64_t a, int64_t b, double& m) const;
    // The first sample at or after t (after t when `after`).
    int64_t lowerBound(int64_t t, bool after = false) const;
};

// Plain samples: times (any unit, milliseconds in the viewer) and values,
// read in place (the vectors outlive the trace).
class StepSamples : public StepTrace {
public:
    StepSamples(const std::vector<int64_t>& times, const std::vector<float>& values)
        : times_(times), values_(values) {}
    int64_t size() const override { return int64_t(std::min(times_.size(), values_.size())); }
    int64_t time(int64_t i) const override { return times_[std::size_t(i)]; }
    double value(int64_t i) const override { return values_[std::size_t(i)]; }

private:
    const std::vector<int64_t>& times_;
    const std::vector<float>& values_;
};

// A figure, or why it is missing.
enum class FigureGap {
    None,
    NotReached, // the loop has settled without getting there
    RangeEnded, // the range ends while the loop is still on its way
};
struct Figure {
    double value = NAN;
    FigureGap gap = FigureGap::RangeEnded;
    bool known() const { return gap == FigureGap::None; }
};

// Rise, overshoot and settling against one final level.
struct StepLegs {
    Figure rise;      // time units from the 10 % to the 90 % crossing
    Figure overshoot; // % of the change
    Figure settle2;   // time units from the step instant
    Figure settle5;
};

struct StepFigures {
    bool found = false;
    QString problem;        // why there are no figures (shown in place of them)
    int64_t stepTime = 0;   // the step instant
    double setFrom = NAN;   // set point before the step
    double target = NAN;    // set point after it
    double start = NAN;     // process value at the step instant
    double change = NAN;    // target - start
    StepLegs toTarget;      // against the new set point
    Figure steadyLevel;     // mean over the range's last part; RangeEnded while drifting
    Figure steadyError;     // target - steady level
    bool offTarget = false; // settled outside ±2 % of the change around the target
    StepLegs toSteady;      // against the steady level, when offTarget
};

// The set-point step in [t0, t1] is the change from the set point's first
// finite sample there to its last; the process value is measured from the
// step instant to t1.
StepFigures stepFigures(const StepTrace& setPoint, const StepTrace& process, int64_t t0,
                        int64_t t1);

} // namespace qmt
