// The range queries of a series beyond min/max (moments, the search for a
// value outside a band) and the dropping of old blocks.

#include "core/Series.h"

#include <algorithm>
#include <cmath>

namespace curvix {
namespace {

bool outside(float v, double lo, double hi) {
    return std::isfinite(v) && (v < lo || v > hi);
}

bool bucketOutside(const MinMax& m, double lo, double hi) {
    return m.lo <= m.hi && (m.lo < lo || m.hi > hi);
}

} // namespace

Moments Series::moments(int64_t first, int64_t last) const {
    constexpr int64_t kBucket = kFan * kFan; // the smallest bucket with moments
    int64_t a = std::max<int64_t>(first, 0), b = std::min(last, size_);
    Moments m;
    auto addRaw = [&](int64_t i) {
        const float v = value(i);
        if (std::isfinite(v)) m.add(v);
    };
    if (moments_.empty() || b - a < 2 * kBucket) {
        for (int64_t i = a; i < b; ++i)
            addRaw(i);
        return m;
    }
    while (a < b && (a & (kBucket - 1)))
        addRaw(a++);
    while (b > a && (b & (kBucket - 1)))
        addRaw(--b);
    int64_t A = a / kBucket, B = b / kBucket;
    for (std::size_t level = 0; A < B; ++level) {
        const std::vector<Moments>& row = moments_[level];
        if (level + 1 >= moments_.size()) {
            for (int64_t i = A; i < B; ++i)
                m.merge(row[std::size_t(i)]);
            break;
        }
        while (A < B && (A & (kFan - 1)))
            m.merge(row[std::size_t(A++)]);
        while (B > A && (B & (kFan - 1)))
            m.merge(row[std::size_t(--B)]);
        A >>= kFanBits;
        B >>= kFanBits;
    }
    return m;
}

int64_t Series::firstOutside(int64_t first, int64_t last, double lo, double hi) const {
    int64_t i = std::max<int64_t>(first, 0);
    last = std::min(last, size_);
    while (i < last) {
        if ((i & (kFan - 1)) || i + kFan > last || levels_.empty()) {
            if (outside(value(i), lo, hi)) return i;
            ++i;
            continue;
        }
        // The largest whole bucket starting at i and ending by `last`.
        std::size_t level = 0;
        while (level + 1 < levels_.size()) {
            const int bits = kFanBits * int(level + 2);
            const int64_t span = int64_t(1) << bits;
            if ((i & (span - 1)) || i + span > last) break;
            ++level;
        }
        const int bits = kFanBits * int(level + 1);
        int64_t j = i >> bits;
        if (!bucketOutside(levels_[level][std::size_t(j)], lo, hi)) {
            i += int64_t(1) << bits;
            continue;
        }
        // Down to the first child outside the band, then to the sample.
        while (level > 0) {
            --level;
            int64_t c = j * kFan;
            while (!bucketOutside(levels_[level][std::size_t(c)], lo, hi))
                ++c;
            j = c;
        }
        for (int64_t k = j * kFan;; ++k)
            if (outside(value(k), lo, hi)) return k;
    }
    return last;
}

int64_t Series::lastOutside(int64_t first, int64_t last, double lo, double hi) const {
    first = std::max<int64_t>(first, 0);
    int64_t j = std::min(last, size_); // samples [first, j) remain to be looked at
    while (j > first) {
        if ((j & (kFan - 1)) || j - kFan < first || levels_.empty()) {
            if (outside(value(j - 1), lo, hi)) return j - 1;
            --j;
            continue;
        }
        std::size_t level = 0;
        while (level + 1 < levels_.size()) {
            const int bits = kFanBits * int(level + 2);
            const int64_t span = int64_t(1) << bits;
            if ((j & (span - 1)) || j - span < first) break;
            ++level;
        }
        const int bits = kFanBits * int(level + 1);
        int64_t b = (j >> bits) - 1;
        if (!bucketOutside(levels_[level][std::size_t(b)], lo, hi)) {
            j -= int64_t(1) << bits;
            continue;
        }
        while (level > 0) {
            --level;
            int64_t c = b * kFan + kFan - 1;
            while (!bucketOutside(levels_[level][std::size_t(c)], lo, hi))
                --c;
            b = c;
        }
        for (int64_t k = b * kFan + kFan - 1;; --k)
            if (outside(value(k), lo, hi)) return k;
    }
    return first - 1;
}

void Series::clear() {
    blocks_.clear();
    levels_.clear();
    moments_.clear();
    sentShifts_.clear();
    irregular_ = false;
    size_ = 0;
}

void Series::rebuildFrom(int64_t first) {
    Series kept;
    for (int64_t i = first; i < size_; ++i)
        kept.append(time(i), value(i), sentTime(i));
    *this = std::move(kept);
}

int64_t Series::dropBefore(int64_t t) {
    std::size_t k = 0;
    while (k < blocks_.size()) {
        const Block& b = blocks_[k];
        if (b.base + b.points[std::size_t(b.count - 1)].offset >= t) break;
        ++k;
    }
    if (k == 0) return 0;
    const int64_t dropped = k == blocks_.size() ? size_ : blocks_[k].first;
    if (k == blocks_.size()) {
        clear();
        return dropped;
    }
    if (irregular_) {
        // Blocks of odd sizes break the pyramid's alignment: copy what stays.
        rebuildFrom(dropped);
        return dropped;
    }
    // Whole blocks of 16^4 samples: the four lowest levels of both pyramids
    // lose whole buckets; the levels above are merged again.
    blocks_.erase(blocks_.begin(), blocks_.begin() + std::ptrdiff_t(k));
    for (Block& b : blocks_)
        b.first -= dropped;
    size_ -= dropped;
    for (std::size_t level = 0; level < levels_.size(); ++level) {
        std::vector<MinMax>& row = levels_[level];
        const int bits = kFanBits * int(level + 1);
        if (bits <= kBlockBits) {
            row.erase(row.begin(), row.begin() + std::ptrdiff_t(dropped >> bits));
            continue;
        }
        const std::vector<MinMax>& below = levels_[level - 1];
        row.assign(below.size() / kFan, MinMax{});
        for (std::size_t i = 0; i < row.size(); ++i) {
            MinMax m = below[i * kFan];
            for (std::size_t c = 1; c < std::size_t(kFan); ++c) {
                m.lo = std::min(m.lo, below[i * kFan + c].lo);
                m.hi = std::max(m.hi, below[i * kFan + c].hi);
            }
            row[i] = m;
        }
    }
    for (std::size_t level = 0; level < moments_.size(); ++level) {
        std::vector<Moments>& row = moments_[level];
        const int bits = kFanBits * int(level + 2);
        if (bits <= kBlockBits) {
            row.erase(row.begin(), row.begin() + std::ptrdiff_t(dropped >> bits));
            continue;
        }
        const std::vector<Moments>& below = moments_[level - 1];
        row.assign(below.size() / kFan, Moments{});
        for (std::size_t i = 0; i < row.size(); ++i)
            for (std::size_t c = 0; c < std::size_t(kFan); ++c)
                row[i].merge(below[i * kFan + c]);
    }
    // The stamp shifts in force for the samples that stay.
    std::vector<SentShift> shifts;
    for (std::size_t i = 0; i < sentShifts_.size(); ++i) {
        const bool nextApplies = i + 1 < sentShifts_.size() && sentShifts_[i + 1].first <= dropped;
        if (nextApplies) continue;
        shifts.push_back(
            {std::max<int64_t>(sentShifts_[i].first - dropped, 0), sentShifts_[i].delta});
    }
    sentShifts_ = std::move(shifts);
    return dropped;
}

} // namespace curvix
