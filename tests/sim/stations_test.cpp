// Several stations on one line: the address list, the one station that
// answers, and the control commands that reach one station.
#include "app/Control.h"
#include "app/Options.h"

#include <gtest/gtest.h>

using namespace qmt::sim;

namespace {

std::vector<uint8_t> readRequest(uint8_t station, uint16_t address) {
    std::vector<uint8_t> frame = {station, 3, static_cast<uint8_t>(address >> 8),
                                  static_cast<uint8_t>(address), 0, 1};
    appendCrc(frame);
    return frame;
}

uint16_t replyWord(const std::vector<uint8_t>& reply) {
    return reply.size() == 7 ? static_cast<uint16_t>(reply[3] << 8 | reply[4]) : 0xFFFF;
}

struct ThreeStations : ::testing::Test {
    ThreeStations() {
        for (uint8_t s = 1; s <= 3; ++s) {
            ModuleOptions o;
            o.address = s;
            modules.emplace_back(o);
        }
        for (Module& m : modules)
            line.add(m);
    }
    std::vector<Module> modules;
    Line line;
    Faults faults;
    bool silent = false;
};

} // namespace

TEST(SimStations, AddressList) {
    const struct {
        const char* value;
        bool ok;
        uint8_t first;
        std::vector<uint8_t> more;
    } cases[] = {{"5", true, 5, {}},       {"1,2,3", true, 1, {2, 3}}, {"7,2", true, 7, {2}},
                 {"1,1", false, 0, {}},    {"1,", false, 0, {}},      {"0,2", false, 0, {}},
                 {"1,248", false, 0, {}},  {"1-3", false, 0, {}}};
    for (const auto& c : cases) {
        SimOptions o;
        std::string error;
        const char* argv[] = {"qmt584-sim", "--link", "/tmp/x", "--address", c.value};
        EXPECT_EQ(parseOptions(5, argv, o, error), c.ok) << c.value;
        if (!c.ok) continue;
        EXPECT_EQ(o.module.address, c.first) << c.value;
        EXPECT_EQ(o.moreStations, c.more) << c.value;
    }
}

TEST_F(ThreeStations, EachAnswersForItselfWithItsOwnRegisters) {
    modules[1].setReg(265, 222);
    const Module* replying = nullptr;
    EXPECT_EQ(replyWord(line.reply(faults, readRequest(2, 265), {}, &replying)), 222);
    EXPECT_EQ(replying, &modules[1]);
    EXPECT_EQ(replyWord(line.reply(faults, readRequest(3, 265))), 0);
    EXPECT_TRUE(line.reply(faults, readRequest(4, 265)).empty());
}

TEST_F(ThreeStations, ControlCommandsReachTheChosenStation) {
    ControlState st{modules[0], faults, silent, &line};
    EXPECT_EQ(runControl("station 3", st), "");
    EXPECT_EQ(runControl("set 265 333", st), "");
    EXPECT_EQ(modules[2].reg(265), 333);
    EXPECT_EQ(modules[0].reg(265), 0);

    EXPECT_EQ(runControl("silent 2", st), "");
    EXPECT_TRUE(line.reply(faults, readRequest(2, 265)).empty());
    EXPECT_FALSE(line.reply(faults, readRequest(1, 265)).empty());
    EXPECT_EQ(runControl("silent 2 off", st), "");
    EXPECT_FALSE(line.reply(faults, readRequest(2, 265)).empty());
    EXPECT_FALSE(silent) << "one station's silence is not the line's";

    for (const char* bad : {"station 4", "station x", "silent 9", "silent 2 maybe", "station"})
        EXPECT_NE(runControl(bad, st), "") << bad;
    EXPECT_EQ(line.current, 2u);
}

TEST(SimStations, OneModuleKeepsItsSilentCommands) {
    Module m;
    Faults f;
    bool silent = false;
    ControlState st{m, f, silent};
    EXPECT_EQ(runControl("silent 1", st), "");
    EXPECT_TRUE(silent);
    EXPECT_EQ(runControl("silent 1 off", st), "");
    EXPECT_FALSE(silent);
    EXPECT_NE(runControl("silent 2", st), "");
    EXPECT_NE(runControl("station 1", st), "");
}
