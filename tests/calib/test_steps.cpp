// The step tables themselves: a run must feed every block it writes with
// exactly one pair of points, write each block once, and turn the nominal
// values into the blocks a perfect module would get.
#include "calib/Calibration.h"
#include "calib/CalibrationSteps.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

namespace qmt::calib {
namespace {

using Words = std::array<uint16_t, 3>;

struct Fed {
    std::vector<Point> points;
    int writtenBy = -1; // the step after whose checks the block is written
};

// Every block a sequence's steps feed, with its points in step order.
std::map<reg::Address, Fed> blocksOf(const Sequence& seq) {
    std::map<reg::Address, Fed> out;
    std::vector<reg::Address> pending;
    for (int m = 0; m < seq.count; ++m) {
        const Step& s = seq.steps[m];
        if (s.block != NoBlock) {
            for (int k = 0; k < s.pointCount; ++k)
                out[s.block].points.push_back(s.points[k]);
            pending.push_back(s.block);
        }
        if (s.writesBlocks) {
            for (reg::Address b : pending) {
                EXPECT_TRUE(out[b].writtenBy < 0 || out[b].writtenBy == m) << "block " << b;
                out[b].writtenBy = m;
            }
            pending.clear();
        }
    }
    EXPECT_TRUE(pending.empty()) << "points after the last step that writes blocks";
    return out;
}

struct Case {
    const char* name;
    const Sequence& seq;
    int steps;
    std::set<reg::Address> blocks;
};

const Case cases[] = {
    {"output and inputs", OutputAndInputs, 14, {8, 12, 16, 20, 24, 28, 32, 36}},
    {"inputs only", InputsOnly, 13, {8, 12, 16, 24, 28, 32}},
};

TEST(CalibrationSteps, EveryBlockIsFedByOnePairAndWrittenOnce) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.seq.count, c.steps);
        const Step& last = c.seq.steps[c.seq.count - 1];
        EXPECT_EQ(last.source, Source::None);
        EXPECT_EQ(last.pointCount, 0);
        std::set<reg::Address> written;
        for (const auto& [block, fed] : blocksOf(c.seq)) {
            SCOPED_TRACE(block);
            ASSERT_EQ(fed.points.size(), 2u);
            EXPECT_NE(fed.points[0].x, fed.points[1].x);
            EXPECT_NE(fed.points[0].expected, fed.points[1].expected);
            EXPECT_GE(fed.writtenBy, 0);
            written.insert(block);
        }
        EXPECT_EQ(written, c.blocks);
        for (int m = 0; m + 1 < c.seq.count; ++m) {
            const Step& s = c.seq.steps[m];
            SCOPED_TRACE(m);
            EXPECT_NE(s.source, Source::None);
            EXPECT_GE(s.pointCount, 1);
            EXPECT_GT(s.tolerance, 0);
            EXPECT_TRUE(s.input >= 0 && s.input < 3);
            // A reading calibrates the input it is taken from.
            if (s.source == Source::Reading) {
                EXPECT_TRUE(s.block == reg::InputVoltageCoefficients(s.input) ||
                            s.block == reg::InputCurrentCoefficients(s.input));
            }
            // Only the engineer's meter may be wired either way round.
            EXPECT_TRUE(!s.eitherSign || s.source == Source::Typed);
            // The raw output code is what the engineer measures.
            if (s.source == Source::Typed) {
                EXPECT_NE(s.points[0].output, NoOutput);
            }
            // Without an output to drive them the inputs need a source, not a value written.
            if (!c.seq.withOutput) {
                EXPECT_EQ(s.points[0].output, NoOutput);
            }
        }
    }
}

// A module that reads exactly the nominal values gets these blocks.
TEST(CalibrationSteps, NominalValuesGiveTheWorkedBlocks) {
    const struct {
        const Sequence& seq;
        reg::Address block;
        Words words;
    } expected[] = {
        {OutputAndInputs, reg::OutputCurrentCoefficients, {51116, 0, 0}},
        {OutputAndInputs, reg::OutputVoltageCoefficients, {52428, 0, 8192}},
        {InputsOnly, reg::InputVoltageCoefficients(0), {40706, 5, 54024}},
        {InputsOnly, reg::InputVoltageCoefficients(2), {40706, 5, 54024}},
    };
    for (const auto& e : expected) {
        const auto blocks = blocksOf(e.seq);
        const auto fed = blocks.find(e.block);
        ASSERT_NE(fed, blocks.end()) << e.block;
        const std::vector<Point>& p = fed->second.points;
        EXPECT_EQ(CalibrationBlock(p[0].x, p[0].expected, p[1].x, p[1].expected), e.words)
            << e.block;
    }
    // The three inputs of one kind are calibrated alike.
    for (const Case& c : cases) {
        const auto blocks = blocksOf(c.seq);
        for (reg::Address first :
             {reg::InputVoltageCoefficients(0), reg::InputCurrentCoefficients(0)}) {
            const std::vector<Point>& a = blocks.at(first).points;
            for (int i = 1; i < 3; ++i) {
                const std::vector<Point>& b = blocks.at(first + 4 * i).points;
                for (int k = 0; k < 2; ++k) {
                    EXPECT_EQ(a[k].x, b[k].x) << c.name << " block " << first + 4 * i;
                    EXPECT_EQ(a[k].expected, b[k].expected) << c.name << " block " << first + 4 * i;
                }
            }
        }
    }
}

} // namespace
} // namespace qmt::calib
