#include "core/Series.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace curvix {
namespace {

constexpr MinMax kEmpty{std::numeric_limits<float>::infinity(),
                        -std::numeric_limits<float>::infinity()};

void merge(MinMax& into, const MinMax& other) {
    into.lo = std::min(into.lo, other.lo);
    into.hi = std::max(into.hi, other.hi);
}

void mergeValue(MinMax& into, float v) {
    if (!std::isfinite(v)) return;
    into.lo = std::min(into.lo, v);
    into.hi = std::max(into.hi, v);
}

} // namespace

void Moments::add(double v) {
    ++count;
    const double d = v - mean;
    mean += d / double(count);
    m2 += d * (v - mean);
}

void Moments::merge(const Moments& o) {
    if (o.count == 0) return;
    if (count == 0) {
        *this = o;
        return;
    }
    const int64_t n = count + o.count;
    const double d = o.mean - mean;
    mean += d * double(o.count) / double(n);
    m2 += o.m2 + d * d * double(count) * double(o.count) / double(n);
    count = n;
}

const Series::Block& Series::blockOf(int64_t index, int64_t& slot) const {
    if (!irregular_) {
        const Block& b = blocks_[static_cast<std::size_t>(index >> kBlockBits)];
        slot = index & (kBlockSize - 1);
        return b;
    }
    auto it = std::upper_bound(blocks_.begin(), blocks_.end(), index,
                               [](int64_t i, const Block& b) { return i < b.first; });
    const Block& b = *(it - 1);
    slot = index - b.first;
    return b;
}

int64_t Series::time(int64_t index) const {
    int64_t slot;
    const Block& b = blockOf(index, slot);
    return b.base + b.points[static_cast<std::size_t>(slot)].offset;
}

float Series::value(int64_t index) const {
    int64_t slot;
    const Block& b = blockOf(index, slot);
    return b.points[static_cast<std::size_t>(slot)].value;
}

int64_t Series::sentTime(int64_t index) const {
    const int64_t t = time(index);
    if (sentShifts_.empty() || index < sentShifts_.front().first) return t;
    auto it = std::upper_bound(sentShifts_.begin(), sentShifts_.end(), index,
                               [](int64_t i, const SentShift& s) { return i < s.first; });
    return t + (it - 1)->delta;
}

void Series::append(int64_t time, float value, int64_t sent) {
    const int64_t delta = sent - time;
    const int64_t current = sentShifts_.empty() ? 0 : sentShifts_.back().delta;
    if (delta != current) sentShifts_.push_back({size_, delta});
    append(time, value);
}

void Series::append(int64_t time, float value) {
    const bool needBlock = blocks_.empty() || blocks_.back().count == kBlockSize ||
                           time - blocks_.back().base > int64_t(UINT32_MAX);
    if (needBlock) {
        if (!blocks_.empty() && blocks_.back().count != kBlockSize) irregular_ = true;
        Block b;
        b.base = time;
        b.first = size_;
        // Full size only after a full block; a time jump's block grows like the first.
        b.capacity =
            !blocks_.empty() && blocks_.back().count == kBlockSize ? kBlockSize : kFirstCapacity;
        b.points.reset(new Point[static_cast<std::size_t>(b.capacity)]);
        blocks_.push_back(std::move(b));
    }
    Block& b = blocks_.back();
    if (b.count == b.capacity) {
        const int64_t grown = std::min(2 * b.capacity, kBlockSize);
        std::unique_ptr<Point[]> points(new Point[static_cast<std::size_t>(grown)]);
        std::copy(b.points.get(), b.points.get() + b.count, points.get());
        b.points = std::move(points);
        b.capacity = grown;
    }
    b.points[static_cast<std::size_t>(b.count++)] = {static_cast<uint32_t>(time - b.base), value};
    ++size_;
    if (size_ % kFan == 0) addToPyramid();
}

void Series::addToPyramid() {
    // A bucket of level 0 has just filled; fill the levels above as they complete.
    MinMax m = kEmpty;
    for (int64_t i = size_ - kFan; i < size_; ++i)
        mergeValue(m, value(i));
    std::size_t level = 0;
    for (;;) {
        if (levels_.size() <= level) levels_.emplace_back();
        std::vector<MinMax>& row = levels_[level];
        row.push_back(m);
        if (row.size() % kFan != 0) break;
        m = kEmpty;
        for (std::size_t i = row.size() - kFan; i < row.size(); ++i)
            merge(m, row[i]);
        ++level;
        addMoments(level - 1);
    }
}

void Series::addMoments(std::size_t level) {
    // A bucket of 16^(level+2) samples has just completed (the one ending at size_).
    Moments mo;
    if (level == 0) {
        for (int64_t i = size_ - kFan * kFan; i < size_; ++i) {
            const float v = value(i);
            if (std::isfinite(v)) mo.add(v);
        }
    } else {
        const std::vector<Moments>& below = moments_[level - 1];
        for (std::size_t i = below.size() - kFan; i < below.size(); ++i)
            mo.merge(below[i]);
    }
    if (moments_.size() <= level) moments_.emplace_back();
    moments_[level].push_back(mo);
}

// First index in [lo, hi) whose time is >= t, or > t when `after`.
int64_t Series::bisect(int64_t lo, int64_t hi, int64_t t, bool after) const {
    while (lo < hi) {
        const int64_t mid = lo + (hi - lo) / 2;
        const int64_t tm = time(mid);
        if (tm < t || (after && tm == t))
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

int64_t Series::lowerBound(int64_t t) const {
    return bisect(0, size_, t, false);
}

int64_t Series::lowerBoundFrom(int64_t t, int64_t from) const {
    int64_t lo = std::max<int64_t>(from, 0), step = 1, hi = lo;
    while (hi < size_ && time(hi) < t) {
        lo = hi + 1;
        hi += step;
        step *= 2;
    }
    hi = std::min(hi, size_);
    return bisect(lo, hi, t, false);
}

int64_t Series::lowerBoundNear(int64_t t, int64_t from, int64_t guess) const {
    from = std::max<int64_t>(from, 0);
    const int64_t g = std::clamp(guess, from, size_);
    if (g == size_ || time(g) < t) return lowerBoundFrom(t, g);
    // time(g) >= t: gallop back until a sample before t (or `from`) is passed.
    int64_t hi = g, lo = g - 1, step = 1;
    while (lo >= from && time(lo) >= t) {
        hi = lo;
        lo = hi - step;
        step *= 2;
    }
    lo = std::max(lo + 1, from);
    return bisect(lo, hi, t, false);
}

int64_t Series::upperBound(int64_t t) const {
    return bisect(0, size_, t, true);
}

bool Series::minMax(int64_t first, int64_t last, float& lo, float& hi) const {
    int64_t a = std::max<int64_t>(first, 0), b = std::min(last, size_);
    MinMax m = kEmpty;
    // Raw samples up to the bucket boundaries at both ends ...
    while (a < b && (a & (kFan - 1)))
        mergeValue(m, value(a++));
    while (b > a && (b & (kFan - 1)))
        mergeValue(m, value(--b));
    // ... then whole buckets, climbing a level whenever both ends are aligned.
    if (a < b) {
        int64_t A = a >> kFanBits, B = b >> kFanBits;
        for (std::size_t level = 0;; ++level) {
            const std::vector<MinMax>& row = levels_[level];
            if (level + 1 >= levels_.size()) {
                for (int64_t i = A; i < B; ++i)
                    merge(m, row[std::size_t(i)]);
                break;
            }
            while (A < B && (A & (kFan - 1)))
                merge(m, row[std::size_t(A++)]);
            while (B > A && (B & (kFan - 1)))
                merge(m, row[std::size_t(--B)]);
            if (A >= B) break;
            A >>= kFanBits;
            B >>= kFanBits;
        }
    }
    if (m.lo > m.hi) return false;
    lo = m.lo;
    hi = m.hi;
    return true;
}

std::size_t Series::memoryBytes() const {
    std::size_t bytes = blocks_.capacity() * sizeof(Block);
    for (const Block& b : blocks_)
        bytes += static_cast<std::size_t>(b.capacity) * sizeof(Point);
    for (const auto& row : levels_)
        bytes += row.capacity() * sizeof(MinMax);
    for (const auto& row : moments_)
        bytes += row.capacity() * sizeof(Moments);
    bytes += sentShifts_.capacity() * sizeof(SentShift);
    return bytes;
}

} // namespace curvix
