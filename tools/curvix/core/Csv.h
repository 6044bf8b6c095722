#pragma once
// CSV for a spreadsheet in a Russian locale: UTF-8 with a byte-order mark,
// semicolons between fields, decimal commas; a header of the time and the
// channel names, then one row per time stamp.

#include "core/Dataset.h"

#include <QString>

#include <cstdint>

class QIODevice;

namespace curvix {

// Samples of every channel within [t0, t1] (milliseconds). A channel without
// a sample at a row's time leaves its field empty, as do non-finite values.
// False when the device refused a write.
bool writeCsv(const Dataset& data, int64_t t0, int64_t t1, QIODevice& out);

// One field of the time column: local date and time with milliseconds, or
// elapsed seconds.
QString csvTime(TimeBase base, int64_t ms);
// The shortest text that reads back as the same single-precision value.
QString csvNumber(float value);

} // namespace curvix
