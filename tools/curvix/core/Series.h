#pragma once
// The samples of one channel in arrival order, 8 bytes each (a 32-bit time
// offset from its block's base and the value as sent), with a pyramid of
// min/max per bucket of 16, 256, 4096 ... samples. The pyramid lets a view of
// any width be drawn from a few thousand points, however many samples it spans.

#include <cstdint>
#include <memory>
#include <vector>

namespace curvix {

struct MinMax {
    float lo, hi; // lo > hi: no finite value in the bucket
};

class Series {
public:
    // Time in milliseconds; never smaller than the last one appended (the
    // dataset keeps it so).
    void append(int64_t time, float value);

    int64_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    int64_t time(int64_t index) const;
    float value(int64_t index) const;
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

    std::vector<Block> blocks_;
    // A block that began early (a time jump beyond 32 bits of milliseconds)
    // breaks the index arithmetic; then blocks are searched.
    bool irregular_ = false;
    int64_t size_ = 0;
    // levels_[k] holds one MinMax per complete bucket of 16^(k+1) samples.
    std::vector<std::vector<MinMax>> levels_;
};

} // namespace curvix
