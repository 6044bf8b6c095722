#include "core/Dataset.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace curvix {

int64_t Dataset::stampToMs(const StampFields& s) {
    const QDateTime local(QDate(s.year, s.month, s.day),
                          QTime(s.hour, s.minute, s.second, s.millisecond), Qt::LocalTime);
    return local.toMSecsSinceEpoch();
}

Channel& Dataset::channel(int32_t id, const QString& name) {
    auto& slot = channels_[id];
    if (!slot) {
        slot = std::make_unique<Channel>();
        slot->id = id;
        slot->name = name.isEmpty() ? QStringLiteral("Канал %1").arg(id) : name;
        slot->colorIndex = nextColor_++;
    }
    return *slot;
}

const Channel* Dataset::find(int32_t id) const {
    auto it = channels_.find(id);
    return it == channels_.end() ? nullptr : it->second.get();
}

std::vector<const Channel*> Dataset::channels() const {
    std::vector<const Channel*> out;
    for (const auto& [id, c] : channels_)
        out.push_back(c.get());
    return out;
}

std::vector<Channel*> Dataset::channels() {
    std::vector<Channel*> out;
    for (auto& [id, c] : channels_)
        out.push_back(c.get());
    return out;
}

void Dataset::addSample(Channel& c, int64_t stampMs, float value) {
    if (!std::isfinite(value)) ++counters_.nonFinite;
    if (lastRaw_ != INT64_MIN && stampMs < lastRaw_) {
        ++counters_.backwardStamps;
        // A file may swing its times back and forth by millennia; the drawing
        // time saturates far before 64 bits would overflow.
        constexpr int64_t kMaxShift = int64_t(1) << 60;
        const int64_t step = lastRaw_ - stampMs;
        shift_ = shift_ > kMaxShift - step ? kMaxShift : shift_ + step;
    }
    lastRaw_ = stampMs;
    const int64_t t = std::max(stampMs + shift_, lastTime_);
    lastTime_ = t;
    const int64_t delta = stampMs - t;
    if (delta != (sentShifts_.empty() ? 0 : sentShifts_.back().delta))
        sentShifts_.push_back({t, delta});
    c.samples.append(t, value, stampMs);
    // Checked once a second of the run: a drop happens a block at a time anyway.
    if (retentionMs_ > 0 && (trimmedAt_ == INT64_MIN || t >= trimmedAt_ + 1000)) trim();
}

int64_t Dataset::sentTime(int64_t t) const {
    // At a step back both sides share one drawing time; the later stamps win.
    auto it = std::upper_bound(sentShifts_.begin(), sentShifts_.end(), t,
                               [](int64_t x, const SentShift& s) { return x < s.from; });
    return it == sentShifts_.begin() ? t : t + (it - 1)->delta;
}

void Dataset::setRetention(int64_t keepMs) {
    retentionMs_ = std::max<int64_t>(keepMs, 0);
    if (retentionMs_ > 0) trim();
}

void Dataset::trim() {
    if (lastTime_ == INT64_MIN) return;
    trimmedAt_ = lastTime_;
    const int64_t cutoff = lastTime_ - retentionMs_;
    for (auto& [id, c] : channels_)
        c->samples.dropBefore(cutoff);
    // Marks and stamp shifts before the oldest sample kept serve nothing; a
    // run's own start, a moment before its first sample, is still in the
    // kept time and stays.
    const int64_t oldest = empty() ? lastTime_ : firstTime();
    startMarks_.erase(
        startMarks_.begin(),
        std::lower_bound(startMarks_.begin(), startMarks_.end(), std::min(oldest, cutoff)));
    auto keep = std::upper_bound(sentShifts_.begin(), sentShifts_.end(), oldest,
                                 [](int64_t x, const SentShift& s) { return x < s.from; });
    if (keep != sentShifts_.begin()) sentShifts_.erase(sentShifts_.begin(), keep - 1);
}

void Dataset::clear() {
    for (auto& [id, c] : channels_)
        c->samples.clear();
    startMarks_.clear();
    counters_ = Counters();
    // Later samples still never go back behind the ones dropped; the stamp
    // shift in force stays, the ones before it go.
    if (sentShifts_.size() > 1) sentShifts_.erase(sentShifts_.begin(), sentShifts_.end() - 1);
}

void Dataset::reset(TimeBase base) {
    *this = Dataset(base);
}

std::size_t Dataset::memoryBytes() const {
    std::size_t bytes = 0;
    for (const auto& [id, c] : channels_)
        bytes += sizeof(Channel) + c->samples.memoryBytes();
    return bytes + startMarks_.capacity() * sizeof(int64_t) +
           sentShifts_.capacity() * sizeof(SentShift);
}

void Dataset::apply(const Record& r, int64_t nowMs) {
    ++counters_.records;
    switch (r.type) {
    case RecordType::Begin:
        return;
    case RecordType::Channel: {
        Channel& c = channel(r.id, r.name);
        if (!r.name.isEmpty()) c.name = r.name;
        c.announced = true;
        return;
    }
    case RecordType::Start:
        // Marked at the later of its arrival and the newest sample, so it stays in order.
        startMarks_.push_back(std::max(nowMs + shift_, lastTime_ == INT64_MIN ? nowMs : lastTime_));
        return;
    case RecordType::Sample: {
        const bool known = channels_.count(r.id) != 0;
        Channel& c = channel(r.id);
        if (!known) ++counters_.unknownIds;
        if (cachedMs_ == INT64_MIN || std::memcmp(&cachedStamp_, &r.stamp, sizeof r.stamp) != 0) {
            cachedStamp_ = r.stamp;
            cachedMs_ = stampToMs(r.stamp);
        }
        addSample(c, cachedMs_, r.value);
        return;
    }
    case RecordType::Invalid:
        ++counters_.invalidRecords;
        counters_.lastError = r.error;
        return;
    }
}

bool Dataset::empty() const {
    for (const auto& [id, c] : channels_)
        if (!c->samples.empty()) return false;
    return true;
}

int64_t Dataset::firstTime() const {
    int64_t t = INT64_MAX;
    for (const auto& [id, c] : channels_)
        if (!c->samples.empty()) t = std::min(t, c->samples.firstTime());
    return t == INT64_MAX ? 0 : t;
}

int64_t Dataset::lastTime() const {
    return lastTime_ == INT64_MIN ? 0 : lastTime_;
}

int64_t Dataset::sampleCount() const {
    int64_t n = 0;
    for (const auto& [id, c] : channels_)
        n += c->samples.size();
    return n;
}

} // namespace curvix
