#pragma once
// The live window's side of the pipes: the source's records into the
// dataset, whether samples are still arriving, and the end of reception
// (the program gone, or the window closed).

#include "common/TrendProtocol.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <vector>

namespace curvix {

class Dataset;
class LiveSource;
class StatusLine;
class TraceLog;

class LiveFeed : public QObject {
    Q_OBJECT
public:
    // changed: new records wait to be drawn; statusChanged: the status bar's
    // source text changed.
    LiveFeed(Dataset& data, StatusLine& status, TraceLog& trace, std::function<void()> changed,
             std::function<void()> statusChanged, QObject* parent);

    // Reads the program's messages from inFd, answers on outFd.
    void attach(int inFd, int outFd);
    // Takes decoded records as the reader queues them (tests feed them directly).
    void apply(const std::vector<Record>& records);
    // A sample came a moment ago and the source still runs.
    bool samplesArriving() const;
    // The window closes: the program sees the viewer gone.
    void end();

private:
    void takeFromSource();
    void sourceEnded(const QString& reason);

    // A sample within this long counts as samples still arriving.
    static constexpr int64_t kArrivingMs = 5000;

    Dataset& data_;
    StatusLine& status_;
    TraceLog& trace_;
    std::function<void()> changed_, statusChanged_;
    LiveSource* source_ = nullptr;
    bool sourceGone_ = false;
    int64_t lastSampleMs_ = 0;
};

} // namespace curvix
