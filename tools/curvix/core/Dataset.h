#pragma once
// Everything one window shows: its channels with their samples, the start
// marks and what went wrong on the way in. Live data is keyed by local time in
// milliseconds since the epoch, a value log by elapsed milliseconds.
//
// Samples are kept in arrival order on a drawing time that never goes back;
// each keeps the stamp it was sent with, which is what labels, cursors and
// exports show (sentTime).

#include "common/TrendProtocol.h"
#include "core/Series.h"

#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace curvix {

enum class TimeBase { LocalTime, Elapsed };

struct Channel {
    int32_t id = 0;
    QString name;
    bool announced = false; // named by a channel record (or a log header)
    bool visible = true;
    bool rightAxis = false;
    int colorIndex = 0;
    Series samples;
};

struct Counters {
    int64_t records = 0;
    int64_t invalidRecords = 0;
    int64_t unknownIds = 0;     // samples for ids never announced
    int64_t nonFinite = 0;      // NaN or infinite values
    int64_t backwardStamps = 0; // stamps older than the one before
    int64_t foreignAddress = 0; // copy-data for another window token
    int64_t skippedLines = 0;   // value log: malformed lines
    int64_t firstSkippedLine = 0;
    QString lastError;
};

class Dataset {
public:
    explicit Dataset(TimeBase base = TimeBase::LocalTime) : base_(base) {}

    TimeBase timeBase() const { return base_; }
    // Read from a file (value log, CSV) rather than live: regulators pair by
    // column names instead of channel ids.
    bool fromFile() const { return fromFile_; }
    void setFromFile(bool on) { fromFile_ = on; }
    // Empties the dataset and gives it another time base (a file replaces it).
    void reset(TimeBase base);

    // Applies one decoded record; nowMs is the local time of its arrival (for
    // the start mark).
    void apply(const Record& record, int64_t nowMs);

    Channel& channel(int32_t id, const QString& name = QString());
    const Channel* find(int32_t id) const;
    // In id order.
    std::vector<const Channel*> channels() const;
    std::vector<Channel*> channels();

    // Appends one sample at a time that never goes back: a stamp older than
    // the newest is drawn moved forward by the step back, so later samples
    // keep their spacing and the curve stays in order; the sample keeps the
    // stamp as sent.
    void addSample(Channel& channel, int64_t stampMs, float value);

    // The sent stamp at drawing time t: what a cursor or an axis label at t
    // shows. Equal to t until the clock steps back.
    int64_t sentTime(int64_t t) const;

    // Live store bound: samples older than keepMs before the newest are
    // dropped, a block (65536 samples of a channel) at a time; 0 keeps all.
    void setRetention(int64_t keepMs);
    int64_t retention() const { return retentionMs_; }
    // Drops the samples and start marks, keeping the channels (names,
    // visibility, axis, colour); the counters start again.
    void clear();
    // Heap bytes held by the samples of all channels.
    std::size_t memoryBytes() const;

    const std::vector<int64_t>& startMarks() const { return startMarks_; }
    Counters& counters() { return counters_; }
    const Counters& counters() const { return counters_; }

    bool empty() const;
    int64_t firstTime() const; // over all channels; 0 when empty
    int64_t lastTime() const;
    int64_t sampleCount() const;
    int64_t clockShiftMs() const { return shift_; }

    static int64_t stampToMs(const StampFields& stamp);

private:
    void trim();

    TimeBase base_;
    bool fromFile_ = false;
    int64_t retentionMs_ = 0;
    int64_t trimmedAt_ = INT64_MIN;
    // Drawing time from which sent = time + delta, as for Series.
    struct SentShift {
        int64_t from;
        int64_t delta;
    };
    std::vector<SentShift> sentShifts_;
    std::map<int32_t, std::unique_ptr<Channel>> channels_;
    std::vector<int64_t> startMarks_;
    Counters counters_;
    int64_t lastRaw_ = INT64_MIN;
    int64_t lastTime_ = INT64_MIN;
    int64_t shift_ = 0;
    int nextColor_ = 0;
    // The stamps of one cycle repeat; their conversion is cached.
    StampFields cachedStamp_{};
    int64_t cachedMs_ = INT64_MIN;
};

} // namespace curvix
