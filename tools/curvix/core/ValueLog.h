#pragma once
// Value logs as the program writes them: Windows-1251, CR LF, a header of
// 9-character right-aligned fields ("  Время  " and the channel names), then
// one line per read cycle: the elapsed seconds with a decimal comma and the
// cell texts (the state words in hexadecimal, the state bits 0/1).

#include "core/Dataset.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace curvix {

struct ValueLog {
    QStringList names;                       // the channel columns, in file order
    std::vector<int64_t> timesMs;            // elapsed time of each data line
    std::vector<std::vector<float>> columns; // columns[c][line]
    int64_t skipped = 0;                     // malformed lines, left out
    int64_t firstSkipped = 0;                // line number (1-based) of the first of them
    QString error;                           // set when there is no usable header
};

ValueLog parseValueLog(const QByteArray& bytes);

// Hundredths of a second from "5,23" or "-0,50" (a point is taken too).
bool parseElapsed(const QString& text, int64_t& ms);

// One channel per column, in file order, keyed by elapsed time.
void loadValueLog(const ValueLog& log, Dataset& into);

} // namespace curvix
