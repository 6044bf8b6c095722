// Measurements between two times: the moments and band searches of the
// pyramid against plain scans, the statistics, the step-response figures of
// responses whose figures are known in closed form, and the regulator pairing.

#include "core/CsvRead.h"
#include "core/Measure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

using namespace curvix;

namespace {

// A series of n samples, 1 ms apart, some non-finite; its values beside it.
Series randomSeries(int n, std::vector<float>& values, unsigned seed) {
    std::mt19937 random(seed);
    Series s;
    for (int i = 0; i < n; ++i) {
        float v = 1000.0f + float(int(random() % 2001) - 1000) / 8.0f;
        if (i % 1013 == 0) v = std::nanf("");
        if (i % 2039 == 0) v = -INFINITY;
        s.append(i, v);
        values.push_back(v);
    }
    return s;
}

// The figures of a response y(t) to a unit step at t = 0 by brute force on a fine grid.
struct Truth {
    double rise, settle2, settle5, overshoot;
};
Truth bruteFigures(const std::function<double(double)>& y, double end) {
    const double dt = 1e-5;
    double t10 = NAN, t90 = NAN, last2 = 0, last5 = 0, peak = 0;
    for (double t = 0; t <= end; t += dt) {
        const double v = y(t);
        if (std::isnan(t10) && v >= 0.1) t10 = t;
        if (std::isnan(t90) && v >= 0.9) t90 = t;
        if (std::fabs(v - 1) > 0.02) last2 = t;
        if (std::fabs(v - 1) > 0.05) last5 = t;
        peak = std::max(peak, v);
    }
    return {t90 - t10, last2, last5, std::max(0.0, peak - 1) * 100};
}

// Set point `from` until t = 1 s, then `to`; the process value follows
// from + (to - from) y(t - 1 s), one sample each per millisecond.
void stepRun(Series& sp, Series& pv, double from, double to, const std::function<double(double)>& y,
             int ms) {
    for (int i = 0; i < ms; ++i) {
        const double t = (i - 1000) / 1000.0;
        sp.append(i, float(t < 0 ? from : to));
        pv.append(i, float(t < 0 ? from : from + (to - from) * y(t)));
    }
}

} // namespace

TEST(Moments, AnyRangeMatchesANaivePass) {
    std::vector<float> values;
    const Series s = randomSeries(300'000, values, 11); // several blocks, levels
    std::mt19937 random(12);
    for (int round = 0; round < 300; ++round) {
        int64_t a = random() % s.size(), b = random() % (s.size() + 1);
        if (round % 3 == 0) b = std::min<int64_t>(a + random() % 600, s.size());
        if (round == 0) a = 0, b = s.size();
        if (a > b) std::swap(a, b);
        int64_t n = 0;
        double sum = 0;
        for (int64_t i = a; i < b; ++i)
            if (std::isfinite(values[std::size_t(i)])) sum += values[std::size_t(i)], ++n;
        const double mean = n ? sum / double(n) : 0;
        double m2 = 0;
        for (int64_t i = a; i < b; ++i)
            if (std::isfinite(values[std::size_t(i)]))
                m2 += (values[std::size_t(i)] - mean) * (values[std::size_t(i)] - mean);
        const Moments m = s.moments(a, b);
        ASSERT_EQ(m.count, n) << a << ".." << b;
        if (n == 0) continue;
        EXPECT_NEAR(m.mean, mean, 1e-9 * 1000) << a << ".." << b;
        EXPECT_NEAR(m.m2, m2, 1e-9 * std::max(m2, 1.0)) << a << ".." << b;

        // The statistics by time agree (both ends included).
        const RangeStats r = rangeStats(s, a, b - 1);
        EXPECT_EQ(r.count, n);
        EXPECT_NEAR(r.rms, std::sqrt(m2 / double(n)), 1e-9 * 1000);
        float lo = 0, hi = 0;
        ASSERT_TRUE(s.minMax(a, b, lo, hi));
        EXPECT_EQ(r.min, lo);
        EXPECT_EQ(r.peakToPeak, double(hi) - double(lo));
    }
    EXPECT_EQ(rangeStats(s, 10, 5).count, 0);
    EXPECT_TRUE(std::isnan(rangeStats(Series(), 0, 10).mean));
}

TEST(Moments, BandSearchesMatchAScan) {
    std::vector<float> values;
    const Series s = randomSeries(150'000, values, 21);
    std::mt19937 random(22);
    for (int round = 0; round < 400; ++round) {
        int64_t a = random() % s.size(), b = random() % (s.size() + 1);
        if (a > b) std::swap(a, b);
        // Bands from nearly everything inside to nearly everything outside.
        const double half = double(random() % 1300) / 10.0;
        const double lo = 1000 - half, hi = 1000 + half * (round % 2 ? 1 : 0.5);
        auto out = [&](int64_t i) {
            const float v = values[std::size_t(i)];
            return std::isfinite(v) && (v < lo || v > hi);
        };
        int64_t first = a;
        while (first < b && !out(first))
            ++first;
        int64_t last = b - 1;
        while (last >= a && !out(last))
            --last;
        ASSERT_EQ(s.firstOutside(a, b, lo, hi), first) << a << ".." << b << " " << lo << " " << hi;
        ASSERT_EQ(s.lastOutside(a, b, lo, hi), last) << a << ".." << b << " " << lo << " " << hi;
    }
}

const std::function<double(double)> kFirstOrder = [](double t) { return 1 - std::exp(-t); };
// Second order, ζ = 0.5, ωn = 4 rad/s: 16.3 % overshoot.
const double kZeta = 0.5;
const std::function<double(double)> kSecondOrder = [](double t) {
    const double wn = 4.0, wd = wn * std::sqrt(1 - kZeta * kZeta);
    return 1 - std::exp(-kZeta * wn * t) *
                   (std::cos(wd * t) + kZeta / std::sqrt(1 - kZeta * kZeta) * std::sin(wd * t));
};

TEST(StepResponse, AnalyticResponsesWithinOnePercent) {
    struct Case {
        const char* name;
        std::function<double(double)> y;
        double from, to;
    };
    const Case cases[] = {{"first order up", kFirstOrder, 100, 600},
                          {"first order down", kFirstOrder, 600, -400},
                          {"second order up", kSecondOrder, 0, 250},
                          {"second order down", kSecondOrder, 20, -30}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Series sp, pv;
        stepRun(sp, pv, c.from, c.to, c.y, 9000); // 8 s after the step
        const Truth truth = bruteFigures(c.y, 8.0);
        const StepFigures f = stepResponse(sp, pv, 0, 8999);
        ASSERT_TRUE(f.found) << f.problem.toStdString();
        EXPECT_EQ(f.stepTime, 1000);
        EXPECT_DOUBLE_EQ(f.change, c.to - c.from);
        const StepLegs& l = f.toTarget;
        EXPECT_NEAR(l.rise.value, truth.rise * 1000, truth.rise * 10);
        EXPECT_NEAR(l.settle2.value, truth.settle2 * 1000, truth.settle2 * 10);
        EXPECT_NEAR(l.settle5.value, truth.settle5 * 1000, truth.settle5 * 10);
        EXPECT_NEAR(l.overshoot.value, truth.overshoot, std::max(truth.overshoot * 0.01, 0.01));
        EXPECT_NEAR(f.steadyError.value, 0, std::fabs(c.to - c.from) * 1e-3);
        EXPECT_FALSE(f.offTarget);
    }
    // The closed forms the brute force stands for.
    EXPECT_NEAR(bruteFigures(kFirstOrder, 8).rise, std::log(9.0), 1e-4);
    EXPECT_NEAR(bruteFigures(kFirstOrder, 8).settle2, std::log(50.0), 1e-4);
    EXPECT_NEAR(bruteFigures(kSecondOrder, 8).overshoot,
                100 * std::exp(-M_PI * kZeta / std::sqrt(1 - kZeta * kZeta)), 1e-3);
}

// The loop is not at the old set point when the step comes, or settles off
// the new one: the figures run from the process value at the step instant,
// and against the loop's own level where it is not the set point.
TEST(StepResponse, LevelsComeFromTheProcessValue) {
    const double ln9 = std::log(9.0), ln50 = std::log(50.0), ln20 = std::log(20.0);
    const double peak = 100 * std::exp(-M_PI * kZeta / std::sqrt(1 - kZeta * kZeta));
    struct Case {
        const char* name;
        std::function<double(double)> y;
        double spFrom, spTo, start, final;        // the loop runs from start to final
        double noise;                             // uniform, in % of the change
        double rise, overshoot, settle2, settle5; // against `final` (s, %, s, s); NaN: not checked
    };
    const Case cases[] = {
        // Xm 2005 against Xs 1500 when the set point steps to 2500.
        {"off the old set point", kFirstOrder, 1500, 2500, 2005, 2500, 0, ln9, 0, ln50, ln20},
        {"settles at 80 %", kFirstOrder, 0, 100, 0, 80, 0, ln9, 0, ln50, ln20},
        // Noise crosses the levels early: only the level and overshoot are checked.
        {"settles at 80 % with 5 % noise", kFirstOrder, 0, 100, 0, 80, 5, NAN, 0, NAN, NAN},
        {"rings to 70 %", kSecondOrder, 0, -200, 0, -140, 0, NAN, peak, NAN, NAN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Series sp, pv;
        std::mt19937 random(7);
        const double change = c.final - c.start;
        for (int i = 0; i < 20'000; ++i) { // 1 ms apart, the step at 1 s
            const double t = (i - 1000) / 1000.0;
            const double wobble = (double(random() % 2001) / 1000.0 - 1) * c.noise / 100 * change;
            sp.append(i, float(t < 0 ? c.spFrom : c.spTo));
            pv.append(i, float(t <= 0 ? c.start : c.start + change * c.y(t) + wobble));
        }
        const StepFigures f = stepResponse(sp, pv, 0, 19'999);
        ASSERT_TRUE(f.found) << f.problem.toStdString();
        EXPECT_DOUBLE_EQ(f.start, c.start);
        EXPECT_DOUBLE_EQ(f.change, c.spTo - c.start);
        // The steady level is a mean: noise of ±5 % moves it by far less.
        ASSERT_TRUE(f.steadyLevel.known());
        EXPECT_NEAR(f.steadyLevel.value, c.final, 0.002 * std::fabs(change));
        EXPECT_NEAR(f.steadyError.value, c.spTo - c.final, 0.002 * std::fabs(change));
        // A range running on past the samples has the same level.
        EXPECT_NEAR(stepResponse(sp, pv, 0, 60'000).steadyLevel.value, f.steadyLevel.value, 1e-9);
        const bool off = c.final != c.spTo;
        EXPECT_EQ(f.offTarget, off);
        const StepLegs& l = off ? f.toSteady : f.toTarget;
        for (auto [mine, truth] : {std::pair{l.rise.value, c.rise},
                                   {l.settle2.value, c.settle2},
                                   {l.settle5.value, c.settle5}})
            if (std::isfinite(truth)) {
                EXPECT_NEAR(mine, truth * 1000, truth * 10);
            }
        EXPECT_NEAR(l.overshoot.value, c.overshoot, 0.1 + c.noise);
        if (off) {
            // Against the set point, a loop short of it never gets there.
            EXPECT_EQ(f.toTarget.settle2.gap, FigureGap::NotReached);
            EXPECT_EQ(f.toTarget.rise.gap, FigureGap::NotReached);
        }
    }
}

// Polled together, set point and process value first show the step in one
// sample, by which the loop has answered for part of a period: the start is
// the level before it, as every textbook reads a step response.
TEST(StepResponse, TheStartIsTheLevelBeforeTheFirstNewSetPoint) {
    Series sp, pv;
    const double tau = 2.0;
    for (int i = 0; i <= 40; ++i) { // polled every 500 ms; the set point moved at 4.25 s
        const double t = i * 0.5, since = t - 4.25;
        sp.append(i * 500, float(since < 0 ? 1500 : 6000));
        pv.append(i * 500, float(since < 0 ? 2004 : 2004 + 3996 * (1 - std::exp(-since / tau))));
    }
    const StepFigures f = stepResponse(sp, pv, 0, 20'000);
    ASSERT_TRUE(f.found) << f.problem.toStdString();
    EXPECT_EQ(f.stepTime, 4500);
    EXPECT_DOUBLE_EQ(f.start, 2004);
    EXPECT_DOUBLE_EQ(f.change, 3996);
}

// Samples missing (a CSV's empty cells) or NaN (a log's "nan" cells) are one
// and the same gap: the figures bridge it, and an excursion before it is not
// hidden by it.
TEST(StepResponse, GapsInALogAndACsvGiveOneAnswer) {
    // Every 0.1 s: the set point 0 → 100 at 1 s, the process value with it,
    // a sample later, out at 110 over [5.0, 5.5) s, missing over [5.5, 6.0) s, back at 100.
    QByteArray log = "  \xC2\xF0\xE5\xEC\xFF  " // "Время" in Windows-1251
                     "   Xs(k)1   Xm(k)1\r\n";
    QByteArray csv = "Время;Xs(k)1;Xm(k)1\n";
    for (int k = 0; k <= 100; ++k) {
        const QByteArray t = QByteArray::number(k / 10.0, 'f', 2).replace('.', ',');
        const QByteArray sp = k < 10 ? "0" : "100";
        const QByteArray pv = k <= 10             ? "0"
                              : k >= 50 && k < 55 ? "110"
                              : k >= 55 && k < 60 ? ""
                                                  : "100";
        log += t.rightJustified(9) + sp.rightJustified(9) +
               (pv.isEmpty() ? "nan" : pv).rightJustified(9) + "\r\n";
        csv += t + ';' + sp + ';' + pv + '\n';
    }
    Dataset fromLog, fromCsv;
    ASSERT_TRUE(loadDataFile(log, fromLog).error.isEmpty());
    ASSERT_TRUE(loadDataFile(csv, fromCsv).error.isEmpty());
    struct Range {
        int64_t t1;
        const char* settle2;
        const char* settle5;
    };
    // The line from 110 at 5.4 s to 100 at 6.0 s meets 102 at 5.88 s and 105 at 5.7 s.
    const Range ranges[] = {
        {10'000, "4,880", "4,700"},
        {5'900, "— (диапазон кончился раньше)", "— (диапазон кончился раньше)"}};
    for (const Range& r : ranges) {
        SCOPED_TRACE(r.t1);
        QStringList texts[2];
        int i = 0;
        for (const Dataset* data : {&fromLog, &fromCsv}) {
            const Measurements m = measure(*data, 0, r.t1);
            ASSERT_EQ(m.steps.size(), 1u);
            ASSERT_TRUE(m.steps[0].figures.found) << m.steps[0].figures.problem.toStdString();
            const auto t = stepTexts(*data, m.steps[0].figures);
            texts[i++] = QStringList(t.begin(), t.end());
        }
        EXPECT_EQ(texts[0], texts[1]);
        EXPECT_EQ(texts[0].value(6), QString::fromUtf8(r.settle2));
        EXPECT_EQ(texts[0].value(7), QString::fromUtf8(r.settle5));
    }
}

// Both crossings within one sample interval: each interpolated on the line
// between its samples, 10 % to 90 % of the way is 0.8 of the interval.
TEST(StepResponse, BothCrossingsInOneIntervalAreInterpolated) {
    Series sp, pv;
    for (int i = 0; i < 20; ++i) { // 1 s apart, the set point steps at 3 s
        sp.append(i * 1000, i < 3 ? 0.0f : 50.0f);
        pv.append(i * 1000, i < 4 ? 0.0f : 50.0f);
    }
    const StepFigures f = stepResponse(sp, pv, 0, 19'000);
    ASSERT_TRUE(f.found);
    EXPECT_NEAR(f.toTarget.rise.value, 800, 1e-9);
}

TEST(StepResponse, RangesWithoutFiguresSayWhy) {
    Series sp, pv;
    stepRun(
        sp, pv, 0, 100, [](double t) { return 1 - std::exp(-t / 10); }, 5000);
    // Before the step: no step in the set point.
    StepFigures f = stepResponse(sp, pv, 0, 900);
    EXPECT_FALSE(f.found);
    EXPECT_EQ(f.problem, QStringLiteral("нет скачка уставки"));
    // A slow response in a short range: rise and settling not reached yet,
    // and no steady level while it still moves.
    f = stepResponse(sp, pv, 500, 2000);
    ASSERT_TRUE(f.found);
    for (const Figure& g : {f.toTarget.rise, f.toTarget.settle2, f.steadyLevel, f.steadyError})
        EXPECT_EQ(g.gap, FigureGap::RangeEnded);
    EXPECT_DOUBLE_EQ(f.toTarget.overshoot.value, 0);
    Dataset data;
    const auto texts = stepTexts(data, f);
    EXPECT_EQ(texts[4], QStringLiteral("— (диапазон кончился раньше)"));
    EXPECT_EQ(texts[1], QStringLiteral("0 → 100"));
    EXPECT_FALSE(stepResponse(sp, Series(), 0, 5000).found);
}

TEST(Regulators, PairedByIdLiveAndByNameFromAFile) {
    Dataset live;
    for (int32_t id : {1, 2, 3, 8, 15, 16, 31})
        live.addSample(live.channel(id), 0, 1);
    const auto pairs = regulatorPairs(live);
    ASSERT_EQ(pairs.size(), 2u); // regulator 2 has no process value
    EXPECT_EQ(pairs[0].regulator, 1);
    EXPECT_EQ(pairs[0].setPointId, 1);
    EXPECT_EQ(pairs[0].processId, 2);
    EXPECT_EQ(pairs[1].regulator, 3);
    EXPECT_EQ(pairs[1].setPointId, 15);
    EXPECT_EQ(pairs[1].processId, 16);

    Dataset file(TimeBase::Elapsed);
    file.setFromFile(true);
    const char* names[] = {"Xm(k)2", "Y(k)2", "Xs(k)2", "Xs(k)1", "АЦП1"};
    for (int i = 0; i < 5; ++i)
        file.addSample(file.channel(i + 1, QString::fromUtf8(names[i])), 0, 1);
    const auto filePairs = regulatorPairs(file);
    ASSERT_EQ(filePairs.size(), 1u);
    EXPECT_EQ(filePairs[0].regulator, 2);
    EXPECT_EQ(filePairs[0].setPointId, 3);
    EXPECT_EQ(filePairs[0].processId, 1);
}

TEST(Measurements, VisibleChannelsAndTheirCommentLines) {
    Dataset data(TimeBase::Elapsed);
    Channel& s = data.channel(1, QStringLiteral("Xs(k)1"));
    Channel& p = data.channel(2, QStringLiteral("Xm(k)1"));
    Channel& y = data.channel(3, QStringLiteral("Y(k)1"));
    for (int i = 0; i < 10'000; ++i) {
        const double t = (i - 1000) / 1000.0;
        data.addSample(s, i, t < 0 ? 0.0f : 10.0f);
        data.addSample(p, i, t < 0 ? 0.0f : float(10 * (1 - std::exp(-t))));
        data.addSample(y, i, float(i % 2));
    }
    const Measurements all = measure(data, 0, 9999);
    ASSERT_EQ(all.channels.size(), 3u);
    ASSERT_EQ(all.steps.size(), 1u);
    EXPECT_NEAR(all.channels[2].stats.mean, 0.5, 1e-12);
    EXPECT_NEAR(all.channels[2].stats.rms, 0.5, 1e-12);
    EXPECT_EQ(all.channels[2].stats.count, 10'000);
    // The process value hidden: no step figures.
    const Measurements some = measure(data, 0, 9999, {1, 3});
    EXPECT_EQ(some.channels.size(), 2u);
    EXPECT_TRUE(some.steps.empty());

    const QStringList lines = measurementComments(data, all);
    for (const QString& l : lines)
        EXPECT_TRUE(l.startsWith(QLatin1Char('#'))) << l.toStdString();
    EXPECT_EQ(lines.value(0), QStringLiteral("# Диапазон;0,00;9,999;9,999 с"));
    EXPECT_TRUE(lines.contains(QStringLiteral("# Y(k)1;0;1;0,5;0,5;1;10000")));
    const QString step = lines.filter(QStringLiteral("# ПИД1;")).value(0);
    EXPECT_TRUE(step.startsWith(
        QStringLiteral("# ПИД1;Xs(k)1;Xm(k)1;1,00 с;0 → 10;0;10;2,197;0;3,912;2,996;")))
        << step.toStdString();
}
