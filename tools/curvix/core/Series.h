#pragma once
// The samples of one channel in arrival order, 8 bytes each (a 32-bit time
// offset from its block's base and the value as sent), with a pyramid of
// min/max per bucket of 16, 256, 4096 ... samples and, from 256 samples up,
// the count, mean and squared deviations of each bucket. The pyramid lets a
// view of any width be drawn, and a range be measured, from a few thousand
// buckets, however many samples it spans.

#include <cstdint>
#include <memory>
#include <vector>

namespace curvix {

struct MinMax {
    float lo, hi; // lo > hi: no finite value in the bucket
};

// Count, mean and sum of squared deviations from the mean of finite values;
// merged pairwise so that a long range loses no precision to cancellation.
struct Moments {
    int64_t count = 0;
    double mean = 0;
    double m2 = 0;
    void add(double v);
    void merge(const Moments& other);
};

class Series {
public:
    // Time in milliseconds; never smaller than the last one appended (the
    // dataset keeps it so). `sent` is the stamp the sample came with, which
    // may differ from the drawing time after a clock step back.
    void append(int64_t time, float value);
    void append(int64_t time, float value, int64_t sent);

    int64_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    int64_t time(int64_t index) const;
    float value(int64_t index) const;
    // The stamp the sample was sent with (its time unless the clock stepped back).
    int64_t sentTime(int64_t index) const;
    int64_t firstTime() const { return time(0); }
    int64_t lastTime() const { return time(size_ - 1); }

    // First index whose time is >= t (lowerBound) or > t (upperBound).
    int64_t lowerBound(int64_t t) const;
    int64_t upperBound(int64_t t) const;
    // lowerBound for a t known to lie at or after index `from`: a galloping
    // search, cheap when the answer is near (one pixel column after another).
    int64_t lowerBoundFrom(int64_t t, int64_t from) const;
    // The same with a guess of the answer (the previous column's width ahead):
    // with evenly spaced samples it touches two or three samples only.
    int64_t lowerBoundNear(int64_t t, int64_t from, int64_t guess) const;

    // Extremes of the finite values of [first, last); false when there are none.
    bool minMax(int64_t first, int64_t last, float& lo, float& hi) const;
    // Count, mean and squared deviations of the finite values of [first, last).
    Moments moments(int64_t first, int64_t last) const;
    // First index in [first, last) whose finite value lies outside [lo, hi]
    // (last when none); last such index (first - 1 when none).
    int64_t firstOutside(int64_t first, int64_t last, double lo, double hi) const;
    int64_t lastOutside(int64_t first, int64_t last, double lo, double hi) const;

    // Drops whole blocks whose samples are all older than `time`; indices of
    // the rest move down by the number dropped, which is returned.
    int64_t dropBefore(int64_t time);
    void clear();

    // Heap bytes held for the samples and the pyramid.
    std::size_t memoryBytes() const;

private:
    static constexpr int kBlockBits = 16;
    static constexpr int64_t kBlockSize = int64_t(1) << kBlockBits;
    static constexpr int kFanBits = 4;
    static constexpr int64_t kFan = int64_t(1) << kFanBits;
    // A series' first block, and one begun early by a time jump, starts small
    // and doubles: a short log with many channels, or a stream whose clock
    // jumps, does not take a full block each time.
    static constexpr int64_t kFirstCapacity = 1024;

    struct Point {
        uint32_t offset;
        float value;
    };
    struct Block {
        int64_t base = 0;  // time of offset 0
        int64_t first = 0; // index of its first sample
        int64_t count = 0;
        int64_t capacity = 0;
        std::unique_ptr<Point[]> points;
    };

    const Block& blockOf(int64_t index, int64_t& slot) const;
    int64_t bisect(int64_t lo, int64_t hi, int64_t t, bool after) const;
    void addToPyramid();
    void addMoments(std::size_t level);
    void rebuildFrom(int64_t first);

    std::vector<Block> blocks_;
    // A block that began early (a time jump beyond 32 bits of milliseconds)
    // breaks the index arithmetic; then blocks are searched.
    bool irregular_ = false;
    int64_t size_ = 0;
    // levels_[k] holds one MinMax per complete bucket of 16^(k+1) samples,
    // moments_[k] one Moments per complete bucket of 16^(k+2) samples.
    std::vector<std::vector<MinMax>> levels_;
    std::vector<std::vector<Moments>> moments_;
    // Where the sent stamp differs from the time: from index `first` on,
    // sent = time + delta (until the next entry). Empty while the clock never
    // stepped back.
    struct SentShift {
        int64_t first;
        int64_t delta;
    };
    std::vector<SentShift> sentShifts_;
};

} // namespace curvix
