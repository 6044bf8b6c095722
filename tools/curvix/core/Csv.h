#pragma once
// CSV for a spreadsheet in a Russian locale: UTF-8 with a byte-order mark,
// semicolons between fields, decimal commas; a header of the time and the
// channel names, then one row per time stamp.

#include "core/Dataset.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

class QIODevice;

namespace curvix {

struct CsvOptions {
    std::vector<int32_t> ids; // the channels written, in id order; empty: all
    QStringList comments;     // lines written before the header (each begins with "#")
};

// Samples within the drawing times [t0, t1] (milliseconds). The time column
// holds the stamps as sent. A channel without a sample at a row's stamp
// leaves its field empty, as do non-finite values. False when the device
// refused a write.
bool writeCsv(const Dataset& data, int64_t t0, int64_t t1, QIODevice& out,
              const CsvOptions& options = {});

// One field of the time column: local date and time with milliseconds, or
// elapsed seconds.
QString csvTime(TimeBase base, int64_t ms);
// A field quoted when it holds a ';', a '"' or a line break.
QString csvField(const QString& field);
// The shortest text that reads back as the same single-precision value.
QString csvNumber(float value);

} // namespace curvix
