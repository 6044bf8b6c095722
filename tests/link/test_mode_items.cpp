// Every radio group that stands for a register: which value each item is, that
// an item's value reads back as that item, that a flag group touches its own
// bits only, and what a value no item has shows.
#include "link/ModeItems.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace qmt;

namespace {

struct Group {
    const char* name;
    const ModeItems& items;
    std::vector<uint16_t> values; // by item, as the register encodes them
    uint16_t mask;
    std::vector<uint16_t> foreign; // values no item has
    int other;                     // the item they show
};

const std::vector<Group>& groups() {
    using namespace reg;
    static const std::vector<Group> all = {
        {"Signal", modes::Signal, {1, 2}, 0xFFFF, {0, 3, 0xFFFF}, -1},
        {"Module", modes::Module, {1, 2}, 0xFFFF, {0, 3, 0x8001}, -1},
        {"PidAction", modes::PidAction, {0, 0x0002}, 0x0002, {}, -1},
        {"OutputSource", modes::OutputSource, {0, 1, 2, 3}, 0xFFFF, {4, 0xFFFF}, -1},
        {"Setpoint1", modes::Setpoint[0], {0, 2, 3, 5, 6, 0xFFFF}, 0xFFFF, {1, 4, 7}, -1},
        {"Setpoint2", modes::Setpoint[1], {0, 1, 3, 4, 6, 0xFFFF}, 0xFFFF, {2, 5, 7}, -1},
        {"Setpoint3", modes::Setpoint[2], {0, 1, 2, 4, 5, 0xFFFF}, 0xFFFF, {3, 6, 7}, -1},
        {"PwmMode", modes::PwmMode, {0, 0x0002}, 0x0002, {}, -1},
        {"PwmOutput1", modes::PwmOutput1, {0, 0x0004}, 0x0004, {}, -1},
        {"PwmOutput2", modes::PwmOutput2, {0, 0x0008}, 0x0008, {}, -1},
        {"OutputCommand", modes::OutputCommand, {0xAAAA, 0x5555}, 0xFFFF, {0, 1}, -1},
        // Read back the module reports 0 or anything else.
        {"OutputState", modes::OutputState, {0, 1}, 0xFFFF, {2, 0x5555, 0xAAAA, 0xFFFF}, 1},
    };
    return all;
}

TEST(ModeItems, EveryItemStandsForItsRegisterValueAndReadsBackAsItself) {
    for (const Group& g : groups()) {
        SCOPED_TRACE(g.name);
        ASSERT_EQ(g.items.count(), int(g.values.size()));
        for (int i = 0; i < g.items.count(); ++i) {
            ASSERT_TRUE(g.items.valueOf(i).has_value()) << i;
            EXPECT_EQ(*g.items.valueOf(i), g.values[size_t(i)]) << i;
            EXPECT_EQ(g.items.itemOf(g.values[size_t(i)]), i) << i;
        }
    }
}

TEST(ModeItems, NoSelectionAndNoSuchItemStandForNothing) {
    for (const Group& g : groups()) {
        SCOPED_TRACE(g.name);
        EXPECT_FALSE(g.items.valueOf(-1).has_value());
        EXPECT_FALSE(g.items.valueOf(g.items.count()).has_value());
        for (uint16_t word : {uint16_t(0), uint16_t(0x5A5A), uint16_t(0xFFFF)}) {
            EXPECT_EQ(g.items.merged(word, -1), word);
            EXPECT_EQ(g.items.merged(word, g.items.count()), word);
        }
    }
}

TEST(ModeItems, AValueNoItemHasShowsTheGroupsFallback) {
    for (const Group& g : groups()) {
        SCOPED_TRACE(g.name);
        for (uint16_t v : g.foreign)
            EXPECT_EQ(g.items.itemOf(v), g.other) << v;
    }
}

TEST(ModeItems, MergingAnItemChangesTheGroupsBitsAndKeepsTheOthers) {
    for (const Group& g : groups()) {
        SCOPED_TRACE(g.name);
        for (uint16_t word : {uint16_t(0), uint16_t(0x5A5A), uint16_t(0xA5A5), uint16_t(0xFFFF)}) {
            for (int i = 0; i < g.items.count(); ++i) {
                const uint16_t merged = g.items.merged(word, i);
                EXPECT_EQ(merged & g.mask, g.values[size_t(i)]) << word << " item " << i;
                EXPECT_EQ(merged & ~g.mask & 0xFFFF, word & ~g.mask & 0xFFFF)
                    << word << " item " << i;
                // The other bits do not disturb the reading of a flag group.
                EXPECT_EQ(g.items.itemOf(merged), i) << word << " item " << i;
            }
        }
    }
}

TEST(ModeItems, ASetpointSwitchNeverOffersItsOwnRegulatorOrInput) {
    for (int n = 0; n < 3; ++n) {
        SCOPED_TRACE(n);
        const ModeItems& sw = modes::Setpoint[n];
        EXPECT_EQ(sw.itemOf(uint16_t(reg::source::Pid1 + n)), -1);
        EXPECT_EQ(sw.itemOf(uint16_t(reg::source::Fb1 + n)), -1);
        EXPECT_EQ(*sw.valueOf(modes::SetpointOff), uint16_t(reg::source::None));
        // The rule the .pid checks and the command line apply: every source
        // code but the regulator's own output and input, and no unknown code.
        for (int code = -2; code <= 7; ++code) {
            const bool offered = code >= -1 && code <= 6 && code != 1 + n && code != 4 + n;
            EXPECT_EQ(modes::SetpointOffered(n, uint16_t(int16_t(code))), offered) << code;
        }
    }
}

} // namespace
