#pragma once
// Reading files into a window's dataset: the program's value logs, the
// viewer's own CSV exports and any CSV with a header row whose first column
// is the time (seconds, or a date and time), fields separated by ';' or ','.
// Malformed rows are skipped and counted, as for value logs.

#include "core/Dataset.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

namespace curvix {

struct CsvTable {
    QStringList names;                       // the value columns, in file order
    TimeBase base = TimeBase::Elapsed;       // seconds, or local date and time
    std::vector<int64_t> timesMs;            // time of each data row
    std::vector<std::vector<float>> columns; // columns[c][row]; NaN for an empty field
    QStringList comments;                    // the "#" lines before the header
    int64_t skipped = 0;                     // malformed rows, left out
    int64_t firstSkipped = 0;                // line number (1-based) of the first of them
    QString error;                           // set when there is no usable header
};

CsvTable parseCsv(const QByteArray& bytes);

// What loading a file gave, for the status line and messages.
struct FileLoad {
    // Not empty: nothing was loaded, the dataset is as it was. The whole
    // message, naming the file when loaded from a path.
    QString error;
    bool csv = false;
    int channels = 0;
    int64_t rows = 0;
    int64_t skipped = 0;
    int64_t firstSkipped = 0;
    bool cancelled = false; // stopped by the progress callback; error is empty
};

// Reads a value log or a CSV (told apart by content) into `into`, replacing
// what it held: its time base becomes the file's and it is marked as read
// from a file. The skipped rows are also in the dataset's counters.
FileLoad loadDataFile(const QByteArray& bytes, Dataset& into);
// The same from a path, with a message when the file cannot be read.
FileLoad loadDataFile(const QString& path, Dataset& into);
// The same, telling the share done (0..100) as the file is read and parsed;
// the callback returning false stops it (cancelled, `into` as it was). Meant
// for a worker thread: it touches nothing but `into` and calls `progress`
// on the calling thread.
using LoadProgress = std::function<bool(int percent)>;
FileLoad loadDataFile(const QString& path, Dataset& into, const LoadProgress& progress);

} // namespace curvix
