#pragma once
// A plain-text trace of what the viewer took in, one line per event, for the
// tests that run the built viewer: written only when CURVIX_DUMP names a file.

#include "common/TrendProtocol.h"

#include <QString>

#include <memory>

class QFile;

namespace curvix {

class Dataset;

class TraceLog {
public:
    TraceLog(); // opens the file CURVIX_DUMP names, if any
    ~TraceLog();

    bool on() const { return file_ != nullptr; }
    void line(const QString& text);
    // A record just applied to data.
    void record(const Record& r, const Dataset& data);

private:
    std::unique_ptr<QFile> file_;
};

} // namespace curvix
