#pragma once
// Measurements between two times for the engineer tuning a regulator: the
// statistics of each channel and the step response of a process value to its
// set point. Times are drawing times in milliseconds (see Dataset); the range
// [t0, t1] includes both ends.

#include "common/StepFigures.h"
#include "core/Dataset.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace curvix {

// The step figures are the program's too (its tuning window measures a test
// with them); curvix names them as its own.
using qmt::Figure;
using qmt::FigureGap;
using qmt::StepFigures;
using qmt::stepFigures;
using qmt::StepLegs;
using qmt::StepSamples;
using qmt::StepTrace;

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

// The figures of a set point and its process value between t0 and t1 (see
// StepFigures.h for the definitions).
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
// A drawing time as the cursors show it: the stamp the program sent.
QString instantText(const Dataset& data, int64_t t);

// A row of the statistics or step tables: its caption and the definition
// its tooltip states.
struct FigureRow {
    const char* caption;
    const char* definition;
};
constexpr int kStatColumns = 6; // minimum, maximum, mean, RMS deviation, peak-to-peak, count
extern const FigureRow kStatRows[kStatColumns];
std::array<QString, kStatColumns> statTexts(const RangeStats* stats);

// The step rows against the new set point, then those against the loop's
// own steady level, shown where it settles off the set point.
constexpr int kTargetStepRows = 10, kSteadyStepRows = 4;
constexpr int kStepRows = kTargetStepRows + kSteadyStepRows;
extern const FigureRow kStepRowTexts[kStepRows];
// A found step's texts in row order; a missing figure is "—" with its reason.
std::array<QString, kStepRows> stepTexts(const Dataset& data, const StepFigures& f);

// The CSV export's comment lines (each beginning with "#") describing the
// range and its measurements.
QStringList measurementComments(const Dataset& data, const Measurements& m);

// What the panel shows of a range, one line a figure: "SUBJECT: CAPTION =
// VALUE", or with csv "SUBJECT;CAPTION;VALUE" under a header line.
QStringList measurementReport(const Dataset& data, const Measurements& m, bool csv);

} // namespace curvix
