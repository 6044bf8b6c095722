// Register model of the virtual module: framing, functions, access rules.
#include "core/Module.h"
#include "frames.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace qmt::sim;
using namespace qmt::sim::test;

namespace {

Bytes write6Req(uint8_t station, uint16_t addr, uint16_t value) {
    return withCrc(
        {station, 6, uint8_t(addr >> 8), uint8_t(addr), uint8_t(value >> 8), uint8_t(value)});
}

Bytes send(Module& m, const Bytes& f) {
    return m.handleFrame(f.data(), f.size());
}

// exception code of a reply, or 0 for a normal one
int exceptionOf(const Bytes& r) {
    return r.size() == 5 && (r[1] & 0x80) ? r[2] : 0;
}

std::vector<uint16_t> readRegs(Module& m, uint16_t addr, uint16_t count) {
    Bytes r = send(m, readReq(m.address(), addr, count));
    std::vector<uint16_t> out;
    if (r.size() != 5u + 2 * count) return out;
    for (uint16_t i = 0; i < count; ++i)
        out.push_back(uint16_t((r[3 + 2 * i] << 8) | r[4 + 2 * i]));
    return out;
}

Bytes protectedWrite(Module& m, uint16_t addr, std::vector<uint16_t> values) {
    send(m, writeReq(m.address(), reg::WriteEnable, {reg::WriteEnableCode}));
    return send(m, writeReq(m.address(), addr, values));
}

} // namespace

TEST(SimCrc, StandardCheckValueAndFrames) {
    const char* digits = "123456789";
    EXPECT_EQ(crc16(reinterpret_cast<const uint8_t*>(digits), 9), 0x4B37);
    EXPECT_EQ(readReq(1, 0x0400, 2), (Bytes{0x01, 0x03, 0x04, 0x00, 0x00, 0x02, 0xC5, 0x3B}));
    Bytes ex{0x01, 0x83, 0x02, 0xC0, 0xF1};
    EXPECT_EQ(crc16(ex.data(), ex.size()), 0);
}

TEST(SimRegisters, DefaultsOfANewModule) {
    Module m;
    EXPECT_EQ(readRegs(m, 0, 4), (std::vector<uint16_t>{2, 2049, m.reg(2), 0x0200}));
    // packed dates with the layout flag, valid calendar dates
    for (uint16_t a : {reg::ManufactureDate, reg::CalibrationDate}) {
        uint16_t d = m.reg(a);
        EXPECT_TRUE(d & 0x20);
        EXPECT_GE(d & 31, 1);
        EXPECT_GE((d >> 6) & 15, 1);
        EXPECT_LE((d >> 6) & 15, 12);
        EXPECT_GE(d >> 10, 1);
    }
    EXPECT_EQ(readRegs(m, 257, 4), (std::vector<uint16_t>{1, 192, 2, 1}));
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(readRegs(m, 8 + 4 * k, 3), (std::vector<uint16_t>{0, 1, 0}));
    EXPECT_EQ(readRegs(m, 48, 13),
              (std::vector<uint16_t>{40, 40, 40, 40, 0, 0, 0, 0, 2, 2, 2, 2, 2}));
    for (int n = 0; n < 3; ++n)
        EXPECT_EQ(readRegs(m, 264 + 16 * n, 14),
                  (std::vector<uint16_t>{0, 0, 0, 100, 65535, 0, 2, 20000, uint16_t(-20000), 0, 0,
                                         0, 0, 0}));
    EXPECT_EQ(readRegs(m, 312, 1), std::vector<uint16_t>{0});
    EXPECT_EQ(readRegs(m, 320, 5), (std::vector<uint16_t>{100, 200, 60000, 20000, 0}));
    EXPECT_EQ(readRegs(m, 328, 5), (std::vector<uint16_t>{100, 200, 60000, 20000, 0}));
    // function 4 reads the same image
    EXPECT_EQ(send(m, readReq(1, 257, 1, 4)).size(), 7u);
}

TEST(SimRegisters, ExceptionsForBadRequests) {
    Module m;
    EXPECT_EQ(exceptionOf(send(m, withCrc({1, 5, 0, 0, 0xFF, 0}))), 1);
    EXPECT_EQ(exceptionOf(send(m, readReq(1, 4, 1))), 2);    // gap after identity
    EXPECT_EQ(exceptionOf(send(m, readReq(1, 8, 4))), 2);    // past a coefficient block
    EXPECT_EQ(exceptionOf(send(m, readReq(1, 1024, 6))), 2); // runs past 1028
    EXPECT_EQ(exceptionOf(send(m, readReq(1, 2000, 1))), 2);
    EXPECT_EQ(exceptionOf(send(m, readReq(1, 0, 0))), 3);
    EXPECT_EQ(exceptionOf(send(m, readReq(1, 264, 126))), 3);
    EXPECT_EQ(exceptionOf(send(m, writeReq(1, 0, {5}))), 2); // type is read-only
    EXPECT_EQ(exceptionOf(send(m, writeReq(1, 1040, {5}))), 2);
    EXPECT_EQ(exceptionOf(send(m, writeReq(1, 312, {1, 2}))), 2); // past 312
    Bytes badCount = writeReq(1, 264, {1, 2});
    badCount[6] = 3; // byte count disagrees with the quantity
    badCount.pop_back();
    badCount.pop_back();
    appendCrc(badCount);
    EXPECT_EQ(exceptionOf(send(m, badCount)), 3);
    // a read too short to hold address and count (checked past its end before)
    for (uint8_t fn : {3, 4}) {
        EXPECT_EQ(exceptionOf(send(m, withCrc({1, fn}))), 3);
        EXPECT_EQ(exceptionOf(send(m, withCrc({1, fn, 1}))), 3);
    }
    // an exception reply is addressed, flagged and checksummed
    Bytes r = send(m, readReq(1, 2000, 1));
    EXPECT_EQ(r[0], 1);
    EXPECT_EQ(r[1], 0x83);
    EXPECT_EQ(crc16(r.data(), r.size()), 0);
}

TEST(SimRegisters, SilenceForForeignAndDamagedFrames) {
    Module m;
    Bytes f = readReq(1, 0, 1);
    f[3] ^= 1;
    EXPECT_TRUE(send(m, f).empty());
    EXPECT_TRUE(send(m, readReq(2, 0, 1)).empty());
    EXPECT_TRUE(send(m, readReq(0, 0, 1)).empty());
    EXPECT_TRUE(m.handleFrame(f.data(), 2).empty());
}

TEST(SimRegisters, WritesAreEchoed) {
    Module m;
    Bytes w = writeReq(1, 267, {250, 500});
    EXPECT_EQ(send(m, w), withCrc({1, 16, 1, 11, 0, 2}));
    EXPECT_EQ(m.reg(267), 250);
    EXPECT_EQ(m.reg(268), 500);
    Bytes w6 = write6Req(1, 265, 0xFFFE);
    EXPECT_EQ(send(m, w6), w6);
    EXPECT_EQ(m.reg(265), 0xFFFE);
}

TEST(SimWriteEnable, ProtectedRegistersNeedTheCodeJustBefore) {
    Module m;
    // without the code: refused, nothing changes
    EXPECT_EQ(exceptionOf(send(m, writeReq(1, 48, {100}))), 3);
    EXPECT_EQ(m.reg(48), 40);
    EXPECT_EQ(exceptionOf(send(m, writeReq(1, 1, {4097}))), 3);
    EXPECT_EQ(exceptionOf(send(m, writeReq(1, 20, {1, 2, 3}))), 3);
    // with it: accepted, once
    EXPECT_EQ(exceptionOf(protectedWrite(m, 48, {100})), 0);
    EXPECT_EQ(m.reg(48), 100);
    EXPECT_EQ(exceptionOf(send(m, writeReq(1, 48, {101}))), 3);
    EXPECT_EQ(m.reg(48), 100);
    // any request of this station in between uses the code up
    send(m, writeReq(1, reg::WriteEnable, {reg::WriteEnableCode}));
    readRegs(m, 0, 1);
    EXPECT_EQ(exceptionOf(send(m, writeReq(1, 48, {102}))), 3);
    // a request for another station does not
    send(m, write6Req(1, reg::WriteEnable, reg::WriteEnableCode));
    send(m, readReq(7, 0, 1));
    EXPECT_EQ(exceptionOf(send(m, writeReq(1, 36, {51116, 0, 0}))), 0);
    EXPECT_EQ(m.reg(36), 51116);
    // so does a request refused by an injected fault
    send(m, writeReq(1, reg::WriteEnable, {reg::WriteEnableCode}));
    Bytes w = writeReq(1, 48, {103});
    EXPECT_EQ(m.refuse(w.data(), w.size(), 6), withCrc({1, 0x90, 6}));
    EXPECT_EQ(exceptionOf(send(m, w)), 3);
    EXPECT_EQ(m.reg(48), 100);
    // a wrong code does not enable
    send(m, writeReq(1, reg::WriteEnable, {0x6B2C}));
    EXPECT_EQ(exceptionOf(send(m, writeReq(1, 60, {1}))), 3);
    // unprotected registers never need it
    EXPECT_EQ(exceptionOf(send(m, writeReq(1, 260, {0}))), 0);
    EXPECT_EQ(m.reg(260), 0);
}

TEST(SimRegisters, BroadcastWritesWithoutReply) {
    Module m;
    EXPECT_TRUE(send(m, writeReq(0, 265, {1234})).empty());
    EXPECT_EQ(m.reg(265), 1234);
    EXPECT_TRUE(send(m, writeReq(0, 0, {9})).empty()); // refused silently
    EXPECT_EQ(m.reg(0), 2);
}

TEST(SimRegisters, SearchProbe) {
    ModuleOptions o;
    o.type = 8;
    o.serial = 3 * 2048 + 15;
    o.address = 12;
    Module m(o);
    auto probe = [](uint16_t version, uint16_t serial, uint8_t addr) {
        return withCrc({0, 255, uint8_t(version), uint8_t(version >> 8), uint8_t(serial),
                        uint8_t(serial >> 8), addr});
    };
    Bytes p = probe(8, 6159, 12);
    EXPECT_EQ(send(m, p), p);
    EXPECT_TRUE(send(m, probe(2, 6159, 12)).empty());
    EXPECT_TRUE(send(m, probe(8, 6158, 12)).empty());
    EXPECT_TRUE(send(m, probe(8, 6159, 1)).empty());
    Bytes directed = p;
    directed[0] = 12;
    directed.resize(7);
    appendCrc(directed);
    EXPECT_EQ(exceptionOf(send(m, directed)), 1);
}

TEST(SimRegisters, LineSettingsTakeEffectAtTheRestart) {
    Module m;
    // One register at a time, as the service settings dialog writes them: each
    // write is still answered at the old address.
    for (auto [addr, value] : {std::pair<uint16_t, uint16_t>{257, 17}, {258, 96}, {259, 0}}) {
        Bytes r = send(m, writeReq(1, addr, {value}));
        ASSERT_EQ(r.size(), 8u) << addr;
        EXPECT_EQ(r[0], 1) << addr;
    }
    EXPECT_EQ(m.address(), 1);
    EXPECT_EQ(m.baud(), 19200u);
    EXPECT_EQ(m.parity(), 2);
    EXPECT_EQ(readRegs(m, 257, 4), (std::vector<uint16_t>{17, 96, 0, 1}));

    m.restart();
    EXPECT_EQ(m.address(), 17);
    EXPECT_EQ(m.baud(), 9600u);
    EXPECT_EQ(m.parity(), 0);
    EXPECT_TRUE(send(m, readReq(1, 0, 1)).empty());
    EXPECT_EQ(readRegs(m, 257, 4), (std::vector<uint16_t>{17, 96, 0, 2}));
    // settings that would leave the module unreachable are refused
    EXPECT_EQ(exceptionOf(send(m, writeReq(17, 257, {0}))), 3);
    EXPECT_EQ(exceptionOf(send(m, writeReq(17, 257, {248}))), 3);
    EXPECT_EQ(exceptionOf(send(m, writeReq(17, 258, {100}))), 3);
    EXPECT_EQ(exceptionOf(send(m, writeReq(17, 259, {3}))), 3);
    EXPECT_EQ(exceptionOf(send(m, writeReq(17, 257, {240}))), 0);
    EXPECT_EQ(m.address(), 17);
    m.restart();
    EXPECT_EQ(m.address(), 240);
    // the raw poke of tests and of the command line applies at once
    m.setReg(reg::Baud, 1152);
    EXPECT_EQ(m.baud(), 115200u);
}

TEST(SimRegisters, RestartKeepsTheRegistersAndClearsTheRunTimeValues) {
    Module m;
    protectedWrite(m, reg::InputTi, {100});
    send(m, writeReq(1, 265, {1234}));
    send(m, writeReq(1, 1027, {500}));
    send(m, writeReq(1, reg::WriteEnable, {reg::WriteEnableCode}));
    m.restart();
    EXPECT_EQ(m.reg(reg::InputTi), 100);
    EXPECT_EQ(m.reg(265), 1234);
    EXPECT_EQ(m.reg(reg::Restarts), 2);
    EXPECT_EQ(m.reg(reg::OutputValue), 0);
    // the write-enable code did not survive the power cycle
    EXPECT_EQ(exceptionOf(send(m, writeReq(1, reg::InputTi, {50}))), 3);
}

TEST(SimRegisters, OldFirmwareHasNoPwmRegisters) {
    ModuleOptions o;
    o.firmware = 0x0105;
    Module m(o);
    for (uint16_t a = 320; a <= 332; ++a)
        EXPECT_FALSE(m.isMapped(a)) << a;
    EXPECT_EQ(exceptionOf(send(m, readReq(1, 320, 5))), 2);
    EXPECT_EQ(exceptionOf(send(m, writeReq(1, 328, {1}))), 2);
    EXPECT_TRUE(Module().isMapped(332));
}

TEST(SimRegisters, OutputControlCommands) {
    Module m;
    EXPECT_EQ(exceptionOf(send(m, writeReq(1, 1074, {0x5555}))), 0);
    EXPECT_EQ(readRegs(m, 1073, 2), (std::vector<uint16_t>{0, 1}));
    EXPECT_EQ(exceptionOf(send(m, writeReq(1, 1074, {uint16_t(~0x5555)}))), 0);
    EXPECT_EQ(readRegs(m, 1074, 1), std::vector<uint16_t>{0});
    EXPECT_EQ(exceptionOf(send(m, writeReq(1, 1073, {1}))), 3);
}

TEST(SimImage, RoundTripCountsRestarts) {
    Module a;
    EXPECT_EQ(a.reg(reg::Restarts), 1);
    protectedWrite(a, 8, {40706, 5, 54024});
    send(a, writeReq(1, 258, {96}));
    send(a, writeReq(1, 1027, {500})); // live: not kept
    Module b;
    std::string err;
    ASSERT_TRUE(b.loadImage(a.saveImage(), &err)) << err;
    EXPECT_EQ(b.reg(8), 40706);
    EXPECT_EQ(b.reg(10), 54024);
    EXPECT_EQ(b.baud(), 9600u);
    EXPECT_EQ(b.reg(reg::Restarts), 2);
    EXPECT_EQ(b.reg(reg::OutputValue), 0);
    Module c;
    ASSERT_TRUE(c.loadImage(b.saveImage()));
    EXPECT_EQ(c.reg(reg::Restarts), 3);
}

TEST(SimImage, DamagedImageKeepsDefaultsAndFlagsChecksum) {
    for (const char* text : {"", "garbage\n", "qmt584-sim-image 1\n8 x\n",
                             "qmt584-sim-image 1\n8 70000\n", "qmt584-sim-image 1\n1024 1\n"}) {
        Module m;
        std::string err;
        EXPECT_FALSE(m.loadImage(text, &err)) << text;
        EXPECT_FALSE(err.empty());
        EXPECT_EQ(m.reg(reg::Status) & 8, 8);
        EXPECT_EQ(m.reg(9), 1);
        EXPECT_EQ(m.reg(reg::Restarts), 1);
    }
}
