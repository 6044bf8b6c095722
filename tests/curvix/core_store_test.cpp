// The sample store, its pyramid, the view reduction and the dataset's rules
// for stamps and ids.

#include "core/Dataset.h"
#include "core/Series.h"
#include "core/View.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace curvix;

namespace {

void bruteMinMax(const std::vector<float>& v, int64_t a, int64_t b, bool& any, float& lo,
                 float& hi) {
    any = false;
    for (int64_t i = a; i < b; ++i) {
        if (!std::isfinite(v[std::size_t(i)])) continue;
        lo = any ? std::min(lo, v[std::size_t(i)]) : v[std::size_t(i)];
        hi = any ? std::max(hi, v[std::size_t(i)]) : v[std::size_t(i)];
        any = true;
    }
}

} // namespace

TEST(Series, MinMaxOfAnyRangeMatchesAScan) {
    std::mt19937 random(3);
    Series s;
    std::vector<float> values;
    int64_t t = 1'000'000;
    for (int i = 0; i < 140'000; ++i) { // more than two blocks, several levels
        t += random() % 3;
        float v = float(int(random() % 2001) - 1000);
        if (i % 997 == 0) v = std::nanf("");
        if (i % 1999 == 0) v = INFINITY;
        s.append(t, v);
        values.push_back(v);
    }
    ASSERT_EQ(s.size(), 140'000);
    for (int round = 0; round < 400; ++round) {
        int64_t a = random() % s.size(), b = random() % (s.size() + 1);
        if (round % 4 == 0) b = std::min<int64_t>(a + random() % 40, s.size());
        if (a > b) std::swap(a, b);
        bool any;
        float lo = 0, hi = 0, slo = 0, shi = 0;
        bruteMinMax(values, a, b, any, lo, hi);
        ASSERT_EQ(s.minMax(a, b, slo, shi), any) << a << ".." << b;
        if (any) {
            EXPECT_EQ(slo, lo);
            EXPECT_EQ(shi, hi);
        }
    }
    // Eight bytes a sample, and a little for the pyramid (min/max per 16
    // samples, moments per 256, each row at most twice its size).
    EXPECT_LT(double(s.memoryBytes()) / s.size(), 8.0 * 196608 / 140000 + 1.0 + 2.0 * 24 / 256);
}

TEST(Series, TimesAndBoundsAcrossJumpsBeyond32Bits) {
    Series s;
    const int64_t day = 86'400'000;
    std::vector<int64_t> times;
    int64_t t = 0;
    for (int i = 0; i < 70'000; ++i) {
        // Jumps of 60 days now and then start early blocks.
        t += i % 20'000 == 19'999 ? 60 * day : 20;
        s.append(t, float(i));
        times.push_back(t);
    }
    for (int64_t i : {int64_t(0), int64_t(19'998), int64_t(19'999), int64_t(65'535),
                      int64_t(65'536), int64_t(69'999)}) {
        EXPECT_EQ(s.time(i), times[std::size_t(i)]);
        EXPECT_EQ(s.value(i), float(i));
        EXPECT_EQ(s.lowerBound(times[std::size_t(i)]), i);
        EXPECT_EQ(s.upperBound(times[std::size_t(i)]), i + 1);
    }
    // The guided searches agree with the plain one whatever the guess.
    std::mt19937 random(5);
    for (int round = 0; round < 2000; ++round) {
        const int64_t t = times[random() % times.size()] + int64_t(random() % 41) - 20;
        const int64_t expected = s.lowerBound(t);
        const int64_t from = expected == 0 ? 0 : int64_t(random() % uint64_t(expected + 1));
        const int64_t guess = int64_t(random() % uint64_t(s.size() + 10));
        ASSERT_EQ(s.lowerBoundNear(t, from, guess), expected) << t << " " << from << " " << guess;
        ASSERT_EQ(s.lowerBoundFrom(t, from), expected);
    }
    float lo, hi;
    ASSERT_TRUE(s.minMax(19'000, 41'000, lo, hi));
    EXPECT_EQ(lo, 19'000.0f);
    EXPECT_EQ(hi, 40'999.0f);
}

// Short series and clocks that jump take memory by the sample, not by the block.
TEST(Series, MemoryFollowsTheSamplesHeld) {
    Series jumps;
    for (int i = 0; i < 200; ++i)
        jumps.append(int64_t(i) * 60 * 86'400'000, float(i));
    EXPECT_LT(jumps.memoryBytes(), 200u * 8 * 1024 + 64 * 1024);
    for (int64_t i = 0; i < jumps.size(); ++i)
        ASSERT_EQ(jumps.value(i), float(i));

    Series grown;
    for (int i = 0; i < 5000; ++i)
        grown.append(i, float(i));
    EXPECT_LT(grown.memoryBytes(), 8u * 8192 + 8192); // the points, and the pyramid
    for (int64_t i : {0, 1023, 1024, 2047, 2048, 4999})
        EXPECT_EQ(grown.value(i), float(i));
}

TEST(View, ReducedPointsKeepEveryColumnsExtremes) {
    Series s;
    for (int i = 0; i < 100'000; ++i)
        s.append(i * 10, float(std::sin(i * 0.001) * 100));
    s.append(100'000 * 10, 0);
    ViewPoints points;
    sampleForView(s, 0, 999'999, 500, points);
    ASSERT_TRUE(points.reduced);
    EXPECT_LE(points.keys.size(), 2u * 500 + 2);
    const auto [lo, hi] = std::minmax_element(points.values.begin(), points.values.end());
    EXPECT_NEAR(*lo, -100.0, 1e-3);
    EXPECT_NEAR(*hi, 100.0, 1e-3);
    EXPECT_TRUE(std::is_sorted(points.keys.begin(), points.keys.end()));

    // A narrow range gives the samples themselves and one neighbour each side.
    sampleForView(s, 5000, 5100, 500, points);
    EXPECT_FALSE(points.reduced);
    ASSERT_EQ(points.keys.size(), 13u);
    EXPECT_DOUBLE_EQ(points.keys.front(), 4.99);
    EXPECT_DOUBLE_EQ(points.keys.back(), 5.11);
}

TEST(View, NonFiniteValuesAreGapsAndCursorsTakeTheSampleBefore) {
    Series s;
    const float values[] = {1, std::nanf(""), INFINITY, 4};
    for (int i = 0; i < 4; ++i)
        s.append(1000 * i, values[i]);
    ViewPoints points;
    sampleForView(s, 0, 3000, 100, points);
    ASSERT_EQ(points.values.size(), 4u);
    EXPECT_TRUE(std::isnan(points.values[1]));
    EXPECT_TRUE(std::isnan(points.values[2]));
    float lo, hi;
    ASSERT_TRUE(rangeOf(s, 0, 3000, lo, hi));
    EXPECT_EQ(lo, 1.0f);
    EXPECT_EQ(hi, 4.0f);
    EXPECT_FALSE(rangeOf(s, 900, 2500, lo, hi));

    float v;
    int64_t at;
    EXPECT_FALSE(valueAt(s, -1, v));
    ASSERT_TRUE(valueAt(s, 3500, v, &at));
    EXPECT_EQ(v, 4.0f);
    EXPECT_EQ(at, 3000);
    ASSERT_TRUE(valueAt(s, 999, v));
    EXPECT_EQ(v, 1.0f);
}

TEST(Dataset, StampsThatGoBackKeepTheCurveInOrder) {
    Dataset data;
    Channel& c = data.channel(1, QStringLiteral("Xs(k)1"));
    data.addSample(c, 10'000, 1);
    data.addSample(c, 11'000, 2);
    data.addSample(c, 11'000, 3); // one cycle's stamp repeats: not backwards
    data.addSample(c, 8'000, 4);  // the clock was set back 3 s
    data.addSample(c, 9'000, 5);
    EXPECT_EQ(data.counters().backwardStamps, 1);
    EXPECT_EQ(data.clockShiftMs(), 3'000);
    const int64_t expected[] = {10'000, 11'000, 11'000, 11'000, 12'000};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(c.samples.time(i), expected[i]);
}

TEST(Dataset, RecordsBuildChannelsMarksAndCounts) {
    Dataset data;
    const StampFields stamp{2026, 12, 3, 9, 12, 0, 0, 0};
    auto apply = [&](const std::string& bytes) { data.apply(decodeRecord(bytes), 5'000); };
    apply(beginRecord());
    apply(channelRecord(10, "Y(k)2"));
    apply(startRecord());
    apply(sampleRecord(10, 5.0f, stamp));
    apply(sampleRecord(99, 1.0f, stamp)); // never announced
    apply(sampleRecord(99, std::nanf(""), stamp));
    apply(channelRecord(10, "")); // an empty name keeps the old one
    apply(std::string("\x09\x01", 2));

    ASSERT_EQ(data.channels().size(), 2u);
    EXPECT_EQ(data.find(10)->name, QStringLiteral("Y(k)2"));
    EXPECT_EQ(data.find(99)->name, QStringLiteral("Канал 99"));
    EXPECT_FALSE(data.find(99)->announced);
    EXPECT_EQ(data.find(99)->samples.size(), 2);
    EXPECT_EQ(data.counters().unknownIds, 1);
    EXPECT_EQ(data.counters().nonFinite, 1);
    EXPECT_EQ(data.counters().invalidRecords, 1);
    ASSERT_EQ(data.startMarks().size(), 1u);
    EXPECT_EQ(data.startMarks()[0], 5'000);
    const int64_t ms = Dataset::stampToMs(stamp);
    EXPECT_EQ(data.find(10)->samples.time(0), ms);
    EXPECT_EQ(QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd hh:mm")),
              QStringLiteral("2026-12-09 12:00"));
}
