// The tuning rules against values worked out by hand from the published
// formulas, and the words with their clipping notes.
#include "tune/Rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace qmt::tune;

TEST(Rules, TextbookValues) {
    const Model m{2, 10, 1}; // with Ts 5 (10 ms) the rules see a dead time of 1.005 s
    const Model slow{-0.5, 30, 3};
    struct Case {
        const char* name;
        Model model;
        Rule rule;
        double tc;
        uint16_t ts;
        PidValues values;
        PidWords words;
    } cases[] = {
        // SIMC: Kp = T / (|K| (τc + θ)), Ti = min(T, 4 (τc + θ))
        {"SIMC fast",
         m,
         Rule::Simc,
         closedLoopTime(Speed::Fast, m, 5),
         5,
         {2.48756, 8.04, 0},
         {249, 4020, 0}},
        {"SIMC smooth",
         m,
         Rule::Simc,
         closedLoopTime(Speed::Smooth, m, 5),
         5,
         {1.24378, 10, 0},
         {124, 5000, 0}},
        // IMC: Kp = (2T + θ) / (|K| (2λ + θ)), Ti = T + θ/2, Td = Tθ / (2T + θ)
        {"lambda smooth",
         m,
         Rule::Lambda,
         3.015,
         5,
         {1.49289, 10.5025, 0.478457},
         {149, 5251, 4785}},
        {"SIMC 5 s, negative gain", slow, Rule::Simc, 5, 50, {7.45342, 30, 0}, {745, 15000, 0}},
    };
    for (const Case& c : cases) {
        const Proposal p = propose(c.model, c.rule, c.tc, c.ts);
        EXPECT_NEAR(p.ideal.kp, c.values.kp, 1e-5) << c.name;
        EXPECT_NEAR(p.ideal.ti, c.values.ti, 1e-5) << c.name;
        EXPECT_NEAR(p.ideal.td, c.values.td, 1e-6) << c.name;
        EXPECT_EQ(p.words.kp, c.words.kp) << c.name;
        EXPECT_EQ(p.words.ti, c.words.ti) << c.name;
        EXPECT_EQ(p.words.td, c.words.td) << c.name;
        EXPECT_DOUBLE_EQ(p.written.kp, c.words.kp / 100.0) << c.name;
        EXPECT_TRUE(p.notes.isEmpty()) << c.name;
    }
    EXPECT_DOUBLE_EQ(closedLoopTime(Speed::Smooth, m, 5), 3 * 1.005);
}

TEST(Rules, WordsPastTheirRangeAreClippedWithANote) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        PidValues values;
        PidWords words;
        const char* note; // empty: none
    };
    // clang-format off
    const Case cases[] = {
        {{2.5, 5, 0.01}, {250, 2500, 100}, ""},
        {{1000, 5, 0}, {65535, 2500, 0}, "Kp = 1000,00 больше наибольшего 655,35: предложено 655,35."},
        {{0.001, 5, 0}, {1, 2500, 0}, "Kp = 0,0010 меньше наименьшего 0,01: предложено 0,01."},
        {{nan, 5, 0}, {1, 2500, 0}, "меньше наименьшего 0,01"},
        {{1, 200, 0}, {100, 65535, 0}, "Ti = 200000 мс больше наибольшего 131070 мс: предложено 131070 мс."},
        {{1, 0.0005, 0}, {100, 1, 0}, "Ti = 0,50 мс меньше наименьшего 2 мс: предложено 2 мс."},
        {{1, 5, 10}, {100, 2500, 65535}, "Td = 10000,0 мс больше наибольшего 6553,5 мс: предложено 6553,5 мс."},
        {{1, 5, 0.00004}, {100, 2500, 0}, ""}, // below a tenth of a millisecond: none
    };
    // clang-format on
    for (const Case& c : cases) {
        const Words w = toWords(c.values);
        EXPECT_EQ(w.words.kp, c.words.kp) << c.note;
        EXPECT_EQ(w.words.ti, c.words.ti) << c.note;
        EXPECT_EQ(w.words.td, c.words.td) << c.note;
        if (*c.note == 0) {
            EXPECT_TRUE(w.notes.isEmpty()) << w.notes.join(' ').toStdString();
        } else {
            ASSERT_EQ(w.notes.size(), 1) << c.note;
            EXPECT_TRUE(w.notes[0].contains(QString::fromUtf8(c.note))) << w.notes[0].toStdString();
        }
    }
    // a proposal carries the notes of its words
    const Proposal p = propose(Model{0.001, 10, 0.01}, Rule::Simc, 0.01, 2);
    EXPECT_EQ(p.words.kp, 65535);
    EXPECT_EQ(p.notes.size(), 1);
}
