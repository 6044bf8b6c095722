#pragma once
// Measurements between two times for the engineer tuning a regulator: the
// statistics of each channel and the step response of a process value to its
// set point. Times are drawing times in milliseconds (see Dataset); the range
// [t0, t1] includes both ends.

#include "core/Dataset.h"

#include <QString>
#include <QStringList>

#include <cmath>
#include <cstdint>
#include <vector>

namespace curvix {

struct RangeStats {
    int64_t count = 0; // finite samples in the range; 0 leaves the rest NaN
    double min = NAN;
    double max = NAN;
    double mean = NAN;
    double rms = NAN; // root mean square deviation from the mean
    double peakToPeak = NAN;
};

// From the pyramid, walking single samples only at the two ends.
RangeStats rangeStats(const Series& series, int64_t t0, int64_t t1);

struct StepFigures {
    bool found = false;
    QString problem;      // why there are no figures (shown in place of them)
    int64_t stepTime = 0; // drawing time of the first sample at the new set point
    double from = NAN;    // set point before the step (at t0)
    double to = NAN;      // set point after it (at t1)
    double size = NAN;    // to - from
    // Milliseconds from the step; NaN when the range ends first.
    double riseMs = NAN;      // from 10 % to 90 % of the step
    double settle2Ms = NAN;   // until the process value stays within ±2 % of the step of `to`
    double settle5Ms = NAN;   // the same within ±5 %
    double overshootPct = 0;  // beyond `to`, in % of the step (0 when it never passes)
    double steadyError = NAN; // set point minus process value at the end of the range
};

// The set-point step between t0 and t1 is the change from the set point at
// t0 to the set point at t1; it happens where the set point first leaves its
// value at t0. The process value is measured against those levels.
StepFigures stepResponse(const Series& setPoint, const Series& process, int64_t t0, int64_t t1);

// A regulator's set point Xs(k)n and process value Xm(k)n. Live, the program
// sends regulator n's channels as ids 7(n-1)+1 and 7(n-1)+2; a file pairs by
// its column names.
struct RegulatorPair {
    int regulator = 0; // n, from 1
    int32_t setPointId = 0;
    int32_t processId = 0;
};
std::vector<RegulatorPair> regulatorPairs(const Dataset& data);

struct ChannelStats {
    int32_t id = 0;
    QString name;
    RangeStats stats;
};
struct RegulatorStep {
    RegulatorPair pair;
    StepFigures figures;
};
struct Measurements {
    int64_t t0 = 0, t1 = 0;
    std::vector<ChannelStats> channels; // in id order
    std::vector<RegulatorStep> steps;   // regulators with both channels among `ids`
};

// Statistics of the channels `ids` (every channel when empty) and the step
// figures of each regulator whose two channels are both among them.
Measurements measure(const Dataset& data, int64_t t0, int64_t t1,
                     const std::vector<int32_t>& ids = {});

// Texts for the tables and the export: a value with up to 6 significant
// digits and a decimal comma, a duration in seconds; "—" for NaN.
QString measureNumber(double value);
QString measureSeconds(double ms);

// The CSV export's comment lines (each beginning with "#") describing the
// range and its measurements.
QStringList measurementComments(const Dataset& data, const Measurements& m);

} // namespace curvix
