// Identification against textbook step responses: first order with dead
// time over the range of plants a service engineer meets, noise, a negative
// gain, uneven sampling, a second-order plant; and every refusal.
#include "tune/BumpTest.h"
#include "tune/Identify.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace qmt::tune;

namespace {

struct Plant {
    double k, t1, t2, l; // t2 = 0: first order
};

// The analytic unit-step response.
double response(const Plant& p, double t) {
    const double s = t - p.l;
    if (s <= 0) return 0.0;
    if (p.t2 == 0) return p.k * (1 - std::exp(-s / p.t1));
    return p.k * (1 - (p.t1 * std::exp(-s / p.t1) - p.t2 * std::exp(-s / p.t2)) / (p.t1 - p.t2));
}

struct Bump {
    Plant plant;
    double dy = 1000;    // output step
    double period = 0.1; // sample period, s
    double length = 0;   // record after the step, s
    double noise = 0;    // uniform noise, as a fraction of the change of Xm
    double jitter = 0;   // sample times off by up to this fraction of the period
    bool reverse = false;
};

// Xm words as a master reads them: mid-scale plus the response, whole counts,
// twenty samples before the step at t = 0.
StepRecord record(const Bump& c, unsigned seed = 7) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> unit(-1, 1);
    const double amplitude = c.noise * std::fabs(c.plant.k * c.dy);
    StepRecord r;
    r.outputStep = c.dy;
    r.reverse = c.reverse;
    for (double t = -20 * c.period; t <= c.length + 1e-9; t += c.period) {
        const double at = t + (t > 0 ? c.jitter * c.period * unit(rng) : 0.0);
        r.t.push_back(at);
        r.xm.push_back(std::round(2048 + c.dy * response(c.plant, at) + amplitude * unit(rng)));
    }
    return r;
}

} // namespace

TEST(Identify, PlantsAcrossTheRange) {
    struct Case {
        const char* name;
        Bump test;
        Plant expected; // second order: the smaller lag counted as dead time
    } cases[] = {
        {"L/T 0.1", {{0.8, 10, 0, 1}, 1000, 0.1, 60}, {0.8, 10, 0, 1}},
        {"L/T 2, T 2 s", {{1.5, 2, 0, 4}, 1000, 0.05, 20}, {1.5, 2, 0, 4}},
        {"T 60 s", {{0.5, 60, 0, 30}, 2000, 1.0, 400}, {0.5, 60, 0, 30}},
        {"negative gain, reverse",
         {{-1.2, 20, 0, 5}, 1000, 0.5, 150, 0, 0, true},
         {-1.2, 20, 0, 5}},
        {"negative step", {{0.7, 5, 0, 1}, -1500, 0.1, 40}, {0.7, 5, 0, 1}},
        {"1 % noise", {{1.0, 8, 0, 2}, 1000, 0.1, 60, 0.01}, {1.0, 8, 0, 2}},
        {"uneven sampling", {{0.9, 12, 0, 3}, 1000, 0.2, 90, 0.005, 0.3}, {0.9, 12, 0, 3}},
        {"second order", {{2, 10, 1, 1}, 500, 0.2, 90}, {2, 10, 0, 2}},
    };
    for (const Case& c : cases) {
        const Identification id = identify(record(c.test));
        ASSERT_TRUE(id.ok()) << c.name << ": " << id.reason.toStdString();
        const Plant& e = c.expected;
        EXPECT_NEAR(id.model.gain, e.k, 0.05 * std::fabs(e.k)) << c.name;
        EXPECT_NEAR(id.model.timeConstant, e.t1, 0.05 * e.t1) << c.name;
        EXPECT_NEAR(id.model.deadTime, e.l, c.test.period + 0.05 * e.l) << c.name;
        if (c.test.plant.t2 == 0) { // a first order model lifts a second order's slow start
            EXPECT_NEAR(id.base, 2048, 1 + c.test.noise * std::fabs(e.k * c.test.dy) / 2) << c.name;
        }
    }
}

TEST(Identify, FitErrorIsTheResidualsRmsOverTheChange) {
    // uniform noise of ±a has an RMS of a / √3
    struct Case {
        double noise, low, high; // per cent
    } cases[] = {{0, 0, 0.1}, {0.01, 0.5, 0.66}, {0.05, 2.7, 3.1}};
    for (const Case& c : cases) {
        const Bump bump{{1.0, 5, 0, 1}, 2000, 0.05, 40, c.noise};
        const StepRecord r = record(bump);
        const Identification id = identify(r);
        ASSERT_TRUE(id.ok()) << id.reason.toStdString();
        EXPECT_GE(id.fitErrorPct, c.low) << c.noise;
        EXPECT_LE(id.fitErrorPct, c.high) << c.noise;
        // least squares: no worse than the true plant itself
        double truth = 0;
        int after = 0;
        for (size_t i = 0; i < r.t.size(); ++i)
            if (r.t[i] > 0) {
                truth += std::pow(r.xm[i] - 2048 - 2000 * response(bump.plant, r.t[i]), 2);
                ++after;
            }
        EXPECT_LE(id.fitErrorPct, 100 * std::sqrt(truth / after) / 2000 + 1e-9) << c.noise;
        // the curve drawn over the data
        EXPECT_NEAR(id.fitted(-1), 2048, 1 + 0.5 * c.noise * 2000); // the mean of 20 samples
        EXPECT_NEAR(id.fitted(40), 2048 + 2000 * (1 - std::exp(-39 / 5.0)), 0.02 * 2000);
    }
}

TEST(Identify, RefusalsSayWhy) {
    struct Case {
        const char* name;
        StepRecord record;
        Refusal refusal;
        const char* said;
    };
    StepRecord few = record({{1, 5, 0, 1}, 1000, 0.5, 4});
    StepRecord noBase = record({{1, 5, 0, 1}, 1000, 0.1, 30});
    noBase.t.erase(noBase.t.begin(), noBase.t.begin() + 21);
    noBase.xm.erase(noBase.xm.begin(), noBase.xm.begin() + 21);
    StepRecord zero = record({{1, 5, 0, 1}, 1000, 0.1, 30});
    zero.outputStep = 0;
    const Case cases[] = {
        {"few samples", few, Refusal::TooFewSamples, "отсчётов"},
        {"nothing before the step", noBase, Refusal::TooFewSamples, "отсчётов"},
        {"no step", zero, Refusal::NoStep, "равен нулю"},
        {"small against noise", record({{0.01, 5, 0, 1}, 1000, 0.1, 30, 3}), Refusal::SmallChange,
         "шум"},
        {"quantised away", record({{0.002, 5, 0, 1}, 1000, 0.1, 30}), Refusal::SmallChange, "шум"},
        {"falls, direct action", record({{-0.8, 5, 0, 1}, 1000, 0.1, 40}), Refusal::WrongDirection,
         "\"Реверсивный\""},
        {"rises, reverse action", record({{0.8, 5, 0, 1}, 1000, 0.1, 40, 0, 0, true}),
         Refusal::WrongDirection, "\"Прямой\""},
        {"stopped at L + T", record({{0.8, 10, 0, 2}, 1000, 0.1, 12}), Refusal::NotSettled,
         "не установилось"},
    };
    for (const Case& c : cases) {
        const Identification id = identify(c.record);
        EXPECT_EQ(id.refusal, c.refusal) << c.name;
        EXPECT_TRUE(id.reason.contains(QString::fromUtf8(c.said)))
            << c.name << ": " << id.reason.toStdString();
    }
    // long enough, the same plant is identified
    EXPECT_TRUE(identify(record({{0.8, 10, 0, 2}, 1000, 0.1, 35})).ok());
}

TEST(Identify, SteadyWhenTheTrendStaysInTheBand) {
    struct Case {
        double slope, noise, window, band;
        bool steady;
    } cases[] = {
        {0, 0, 10, 2, true},     {0, 5, 10, 4, true},    {0.5, 0, 10, 2, false},
        {0.1, 0, 10, 2, true},   {0.5, 0, 30, 2, false}, // the window is longer than the record
        {-0.5, 1, 10, 4, false},
    };
    for (const Case& c : cases) {
        std::mt19937 rng(3);
        std::uniform_real_distribution<double> unit(-1, 1);
        std::vector<double> t, x;
        for (int i = 0; i <= 200; ++i) {
            t.push_back(i * 0.1);
            x.push_back(1000 + c.slope * t.back() + c.noise * unit(rng));
        }
        EXPECT_EQ(isSteady(t, x, c.window, c.band), c.steady)
            << c.slope << " " << c.noise << " " << c.window;
    }
}

TEST(Identify, RestBeforeTheStepIsNotTheTurnOfASwing) {
    // Twenty samples 0.1 s apart: t from 0 to 1.9 s, ±1 count of noise.
    struct Case {
        const char* name;
        double (*x)(double t);
        bool rest;
    } cases[] = {
        {"flat", [](double) { return 2048.0; }, true},
        {"turn of a swing", [](double t) { return 2010 + 8 * (t - 0.95) * (t - 0.95); }, false},
        {"slow drift", [](double t) { return 2048 + 4 * t; }, false},
        {"tail of a settled lag", [](double t) { return 2448 - 400 * std::exp(-(t + 60) / 5); }, true},
    };
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> noise(-1, 1);
    for (const Case& c : cases) {
        std::vector<double> t, x;
        for (int i = 0; i < 20; ++i) {
            t.push_back(0.1 * i);
            x.push_back(std::round(c.x(0.1 * i)) + noise(rng));
        }
        EXPECT_EQ(atRest(t, x), c.rest) << c.name;
    }
    // A slow lag 70 s into its settling: flat over two seconds, 13 counts off its rest.
    std::vector<double> t, x;
    for (int i = 0; i < 700; ++i) {
        t.push_back(0.1 * i);
        x.push_back(std::round(2448 - 440 * std::exp(-0.1 * i / 20)) + noise(rng));
    }
    EXPECT_FALSE(atRest(t, x));
}
