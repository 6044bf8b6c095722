#pragma once
// What a plot needs from a series for one view: the points that draw it on a
// given number of pixel columns, the value under a cursor, the value range.

#include "core/Series.h"

#include <cstdint>
#include <vector>

namespace curvix {

struct ViewPoints {
    std::vector<double> keys; // seconds (milliseconds / 1000)
    std::vector<double> values;
    bool reduced = false; // min/max per column instead of every sample
};

// Points for the time range [t0, t1] (milliseconds) drawn on `columns` pixel
// columns. With few samples every sample is given (plus one on each side, so
// the line runs to the edges); with many, each column gives its minimum and
// maximum, which draws the same picture. Non-finite values give gaps (NaN).
void sampleForView(const Series& series, int64_t t0, int64_t t1, int columns, ViewPoints& out);

// The newest sample at or before t; false before the first.
bool valueAt(const Series& series, int64_t t, float& value, int64_t* sampleTime = nullptr);

// Finite extremes of the samples within [t0, t1].
bool rangeOf(const Series& series, int64_t t0, int64_t t1, float& lo, float& hi);

} // namespace curvix
