// The project's own master library against qmt584-sim.
#include "testing/SimProcess.h"
#include "vornlink.h"

#include <gtest/gtest.h>

using qmt::sim::SimProcess;

namespace {

class SimVornlink : public ::testing::Test {
protected:
    SimProcess sim;
    std::string port;

    void open(std::vector<std::string> args, uint32_t baud = 19200, uint8_t parity = 2) {
        port = sim.start(args);
        ASSERT_FALSE(port.empty()) << sim.error();
        ASSERT_EQ(init_comm(port.c_str(), baud, parity), 0);
        SetTout(200);
    }
    int32_t write(uint8_t station, uint16_t addr, std::vector<uint16_t> values) {
        return invoke_modb(station, 16, addr, uint16_t(values.size()), values.data());
    }
    int32_t writeProtected(uint16_t addr, std::vector<uint16_t> values) {
        int32_t r = write(1, 1912, {0x6B2D});
        return r ? r : write(1, addr, values);
    }
    std::vector<uint16_t> read(uint16_t addr, uint16_t count, int32_t* status = nullptr) {
        std::vector<uint16_t> buf(count);
        int32_t r = invoke_modb(1, 3, addr, count, buf.data());
        if (status) *status = r;
        return r == 0 ? buf : std::vector<uint16_t>{};
    }
};

} // namespace

TEST_F(SimVornlink, ReadsWritesAndProtection) {
    open({});
    EXPECT_EQ(read(0, 4), (std::vector<uint16_t>{2, 2049, 23791, 0x0200}));
    EXPECT_EQ(read(1024, 4).size(), 4u);
    EXPECT_EQ(write(1, 48, {100}), 3);
    EXPECT_EQ(writeProtected(48, {100}), 0);
    EXPECT_EQ(read(48, 1), std::vector<uint16_t>{100});
    uint16_t v = 0x5555;
    EXPECT_EQ(invoke_modb(1, 6, 1074, 1, &v), 0);
    EXPECT_EQ(read(1073, 2), (std::vector<uint16_t>{0, 1}));
    int32_t status = 0;
    read(1029, 1, &status);
    EXPECT_EQ(status, 2);
    uint8_t coil = 1;
    EXPECT_EQ(invoke_modb(1, 5, 0, 1, &coil), 1);
    // the reply to a foreign station's request never comes
    EXPECT_EQ(invoke_modb(9, 3, 0, 1, &v), 14);
    // broadcast write: carried out without a reply
    EXPECT_EQ(write(0, 265, {555}), 14);
    EXPECT_EQ(read(265, 1), std::vector<uint16_t>{555});
}

TEST_F(SimVornlink, ProtectedWriteIsRefusedWhenTheCodeWasNotJustBefore) {
    open({});
    EXPECT_EQ(write(1, 1912, {0x6B2D}), 0);
    EXPECT_EQ(read(0, 1).size(), 1u);
    EXPECT_EQ(write(1, 2, {0x3A75}), 3);
    EXPECT_EQ(writeProtected(2, {0x3A75}), 0);
    EXPECT_EQ(read(2, 1), std::vector<uint16_t>{0x3A75});
    // a retry after an exception finds the code used up by the refused request
    EXPECT_EQ(write(1, 1912, {0x6B2D}), 0);
    EXPECT_TRUE(sim.sendControl("fault exception 6 1"));
    EXPECT_EQ(write(1, 2, {0x1111}), 6);
    EXPECT_EQ(write(1, 2, {0x1111}), 3);
    EXPECT_EQ(read(2, 1), std::vector<uint16_t>{0x3A75});
}

TEST_F(SimVornlink, SilentAtOtherSettingsAndWhenUnplugged) {
    port = sim.start({"--baud", "9600", "--parity", "odd"});
    ASSERT_FALSE(port.empty());
    ASSERT_EQ(init_comm(port.c_str(), 9600, 2), 0);
    SetTout(100);
    int32_t status = 0;
    read(0, 1, &status);
    EXPECT_EQ(status, 14);
    ASSERT_EQ(init_comm(port.c_str(), 9600, 1), 0);
    SetTout(100);
    EXPECT_EQ(read(0, 1).size(), 1u);
    EXPECT_TRUE(sim.sendControl("silent on"));
    read(0, 1, &status);
    EXPECT_EQ(status, 14);
    EXPECT_TRUE(sim.sendControl("fault crc 1"));
    EXPECT_TRUE(sim.sendControl("silent off"));
    read(0, 1, &status);
    EXPECT_EQ(status, 17);
    EXPECT_EQ(read(0, 1).size(), 1u);
}

TEST_F(SimVornlink, SearchFindsTheModuleByItsIdentity) {
    port = sim.start({"--baud", "9600", "--parity", "none", "--type", "8", "--serial", "B0042",
                      "--address", "7"});
    ASSERT_FALSE(port.empty());
    SetTout(60);
    uint32_t baud = 0;
    uint8_t parity = 9;
    const uint16_t serial = 2 * 2048 + 42;
    EXPECT_EQ(EnumParameters(port.c_str(), 8, serial, 7, &baud, &parity), 0);
    EXPECT_EQ(baud, 9600u);
    EXPECT_EQ(parity, 0);
    // the probe is echoed with a fresh CRC, and only for this very module
    std::vector<std::string> trace = sim.traceLines();
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(trace.back().substr(0, 22), "> 00 FF 08 00 2A 10 07");
    EXPECT_EQ(EnumParameters(port.c_str(), 2, serial, 7, &baud, &parity), 14);
    EXPECT_EQ(EnumParameters(port.c_str(), 8, serial, 8, &baud, &parity), 14);
}
