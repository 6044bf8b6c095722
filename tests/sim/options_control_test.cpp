// Command line and control commands of qmt584-sim, without a process.
#include "app/Control.h"
#include "app/Options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <unistd.h>

using namespace qmt::sim;

namespace {

bool parse(std::vector<const char*> args, SimOptions& o, std::string* err = nullptr) {
    args.insert(args.begin(), "qmt584-sim");
    std::string e;
    bool ok = parseOptions(int(args.size()), args.data(), o, e);
    if (err) *err = e;
    return ok;
}

} // namespace

TEST(SimOptions, DefaultsAndEveryOption) {
    SimOptions d;
    ASSERT_TRUE(parse({"--link", "/tmp/x"}, d));
    EXPECT_EQ(d.module.baud, 19200u);
    EXPECT_EQ(d.module.parity, 2);
    EXPECT_EQ(d.module.address, 1);
    EXPECT_EQ(d.module.type, 2);
    EXPECT_EQ(d.module.serial, 2049);
    EXPECT_EQ(d.module.firmware, 0x0200);
    EXPECT_TRUE(d.pace);
    EXPECT_EQ(d.turnaroundMs, 2);
    EXPECT_FALSE(d.hasBaud || d.hasParity || d.hasAddress || d.hasType || d.hasSerial);

    SimOptions o;
    ASSERT_TRUE(parse({"--link",    "/tmp/l",       "--baud",     "115200",  "--parity",
                       "odd",       "--address",    "247",        "--type",  "8",
                       "--serial",  "z2047",        "--firmware", "0x01FF",  "--trace",
                       "t",         "--control",    "c",          "--state", "s",
                       "--no-pace", "--turnaround", "0",          "--seed",  "4294967295"},
                      o));
    EXPECT_EQ(o.link, "/tmp/l");
    EXPECT_EQ(o.module.baud, 115200u);
    EXPECT_EQ(o.module.parity, 1);
    EXPECT_EQ(o.module.address, 247);
    EXPECT_EQ(o.module.type, 8);
    EXPECT_EQ(o.module.serial, 26 * 2048 + 2047);
    EXPECT_EQ(o.module.firmware, 0x01FF);
    EXPECT_EQ(o.trace + o.control + o.state, "tcs");
    EXPECT_FALSE(o.pace);
    EXPECT_EQ(o.turnaroundMs, 0);
    EXPECT_EQ(o.module.seed, 4294967295u);
    EXPECT_TRUE(o.hasBaud && o.hasParity && o.hasAddress && o.hasType && o.hasSerial &&
                o.hasFirmware);
}

TEST(SimOptions, RefusedCommandLines) {
    const std::vector<std::vector<const char*>> bad = {
        {},
        {"--baud", "19200"},
        {"--link", "/x", "--baud", "1200"},
        {"--link", "/x", "--baud", "19200x"},
        {"--link", "/x", "--parity", "2"},
        {"--link", "/x", "--address", "248"},
        {"--link", "/x", "--address", "-1"},
        {"--link", "/x", "--type", "65536"},
        {"--link", "/x", "--serial", "A"},
        {"--link", "/x", "--serial", "12345"},
        {"--link", "/x", "--serial", "A20480"},
        {"--link", "/x", "--firmware", "0x10000"},
        {"--link", "/x", "--firmware", "0x"},
        {"--link", "/x", "--seed"},
        {"--link", "/x", "extra"},
        {"--tcp", "127.0.0.1"},
        {"--tcp", "127.0.0.1:1502", "--framing", "ascii"},
    };
    for (const auto& args : bad) {
        SimOptions o;
        std::string err;
        EXPECT_FALSE(parse(args, o, &err)) << (args.empty() ? "(none)" : args.back());
        EXPECT_FALSE(err.empty());
    }
    uint16_t code = 0;
    EXPECT_TRUE(parseSerial("B0001", code));
    EXPECT_EQ(code, 4097);
    EXPECT_TRUE(parseSerial("C15", code));
    EXPECT_EQ(code, 6159);
}

TEST(SimControl, CommandsChangeTheModuleAndFaults) {
    Module m;
    Faults f;
    bool silent = false;
    ControlState st{m, f, silent};
    EXPECT_EQ(runControl("silent on", st), "");
    EXPECT_TRUE(silent);
    EXPECT_EQ(runControl("  silent   off ", st), "");
    EXPECT_FALSE(silent);
    EXPECT_EQ(runControl("set 0x0404 12", st), "");
    EXPECT_EQ(m.reg(1028), 12);
    EXPECT_EQ(runControl("set 265 -2", st), "");
    EXPECT_EQ(m.reg(265), 0xFFFE);
    EXPECT_EQ(runControl("set 257 9", st), "");
    EXPECT_EQ(m.address(), 9);
    m.setReg(258, 96); // as a master's write leaves it: stored, not yet in use
    EXPECT_EQ(runControl("restart", st), "");
    EXPECT_EQ(m.baud(), 9600u);
    EXPECT_EQ(m.reg(260), 2);
    EXPECT_EQ(runControl("wire 2 current -", st), "");
    EXPECT_EQ(m.inputConnection(1).kind, InputConnection::CurrentOutput);
    EXPECT_EQ(m.inputConnection(1).polarity, -1);
    EXPECT_EQ(runControl("source 3 uA -12500.5", st), "");
    EXPECT_EQ(m.inputConnection(2).kind, InputConnection::CurrentSource);
    EXPECT_DOUBLE_EQ(m.inputConnection(2).value, -12500.5);
    EXPECT_EQ(runControl("open 3", st), "");
    EXPECT_EQ(m.inputConnection(2).kind, InputConnection::Open);
    EXPECT_EQ(runControl("process 3", st), "");
    EXPECT_EQ(m.inputConnection(2).kind, InputConnection::Process);

    EXPECT_EQ(runControl("fault crc 3", st), "");
    EXPECT_EQ(runControl("fault exception 6 2", st), "");
    EXPECT_EQ(runControl("fault delay 250", st), "");
    EXPECT_EQ(runControl("fault split 20", st), "");
    EXPECT_EQ(f.crc, 3);
    EXPECT_EQ(f.exceptionCode, 6);
    EXPECT_EQ(f.exceptions, 2);
    EXPECT_EQ(f.delayMs, 250);
    EXPECT_EQ(f.splitMs, 20);
    EXPECT_EQ(runControl("fault drop", st), "");
    EXPECT_EQ(f.drops, 1);
    EXPECT_EQ(runControl("fault clear", st), "");
    EXPECT_EQ(f.crc + f.exceptions + f.delayMs + f.splitMs + f.drops, 0);

    for (const char* bad : {"",
                            "silent",
                            "silent yes",
                            "set 1",
                            "set 65536 0",
                            "set 1 65536",
                            "set 1 -32769",
                            "set x 1",
                            "wire 0 voltage +",
                            "wire 1 voltage",
                            "wire 1 voltage x",
                            "source 1 V 5",
                            "source 1 mV ten",
                            "open",
                            "open 4",
                            "fault",
                            "fault crc -1",
                            "fault exception 0 1",
                            "fault exception 300 1",
                            "fault delay",
                            "fault clear now",
                            "dump",
                            "reboot",
                            "restart now",
                            "meter A",
                            "meter uA mV"}) {
        EXPECT_NE(runControl(bad, st), "") << bad;
    }
    EXPECT_EQ(m.reg(1028), 12);
    EXPECT_EQ(f.crc, 0);
}

TEST(SimControl, MeterReadsTheOutputTerminals) {
    Module m;
    Faults f;
    bool silent = false;
    ControlState st{m, f, silent};
    m.setReg(51, 0); // no slew: the output follows its register at once
    struct Case {
        uint16_t mode, code;
        const char* command;
        std::string reading;
    };
    // Neutral output blocks: the register is the converter code, as in
    // calibration steps 1 to 4 (µA = code × 1.2821, mV = (code − 8192) × 1.25).
    const Case cases[] = {
        {1, 328, "meter", "meter 421 uA"},    {1, 15599, "meter", "meter 19999 uA"},
        {2, 328, "meter", "meter -9830 mV"},  {2, 16056, "meter", "meter 9830 mV"},
        {2, 328, "meter uA", "meter 421 uA"}, {1, 16056, "meter mV", "meter 9830 mV"},
        {1, 8192, "meter mV", "meter 0 mV"},
    };
    for (const Case& c : cases) {
        m.setReg(59, c.mode);
        m.setReg(1027, c.code);
        std::string printed;
        EXPECT_EQ(runControl(c.command, st, &printed), "") << c.command;
        EXPECT_EQ(printed, c.reading) << c.command << " at code " << c.code;
    }
    // Once the output blocks are calibrated the register is in µA: the meter
    // shows what the converter really puts out, error included.
    m.setReg(59, 1);
    m.setReg(36, 51116);
    m.setReg(37, 0);
    m.setReg(1027, 20000);
    EXPECT_EQ(meterReading(m), "meter 19999 uA");
}

TEST(SimControl, DumpWritesEveryRegisterAndTheOutput) {
    Module m;
    Faults f;
    bool silent = false;
    ControlState st{m, f, silent};
    char dir[] = "/tmp/qmt584-dump.XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    const std::string path = std::string(dir) + "/dump.txt";
    ASSERT_EQ(runControl("dump " + path, st), "");
    std::ifstream in(path);
    std::string line;
    int registers = 0;
    bool output = false;
    while (std::getline(in, line)) {
        unsigned a, v;
        if (std::sscanf(line.c_str(), "%u %u", &a, &v) == 2) {
            ++registers;
            EXPECT_TRUE(m.isMapped(uint16_t(a))) << line;
            EXPECT_EQ(v, m.reg(uint16_t(a))) << line;
        }
        output = output || line.rfind("output_mV ", 0) == 0;
    }
    EXPECT_EQ(registers, 4 + 8 * 3 + 13 + 5 + 49 + 10 + 5 + 18 + 1 + 3 + 1);
    EXPECT_TRUE(output);
    std::remove(path.c_str());
    EXPECT_NE(runControl("dump " + std::string(dir) + "/no/such/dir/x", st), "");
    rmdir(dir);
}

TEST(SimOptions, PlantsDisturbancesAndTimeScale) {
    SimOptions d;
    ASSERT_TRUE(parse({"--link", "/x"}, d));
    EXPECT_FALSE(d.module.plants[0] || d.module.plants[1] || d.module.plants[2]);
    EXPECT_EQ(d.module.load, 40.0);
    EXPECT_EQ(d.module.noise, 1);
    EXPECT_EQ(d.timeScale, 1.0);

    SimOptions o;
    ASSERT_TRUE(parse({"--link", "/x", "--plant", "1:0.5,10,2", "--plant", "3:-2,5,1.5,0",
                       "--load", "0", "--noise", "12", "--time-scale", "25.5"},
                      o));
    ASSERT_TRUE(o.module.plants[0] && o.module.plants[2]);
    EXPECT_FALSE(o.module.plants[1]);
    const Plant& p1 = *o.module.plants[0];
    const Plant& p3 = *o.module.plants[2];
    EXPECT_EQ(p1.gain, 0.5);
    EXPECT_EQ(p1.t1, 10);
    EXPECT_EQ(p1.t2, 0);
    EXPECT_EQ(p1.deadTime, 2);
    EXPECT_EQ(p3.gain, -2);
    EXPECT_EQ(p3.t1, 5);
    EXPECT_EQ(p3.t2, 1.5);
    EXPECT_EQ(p3.deadTime, 0);
    EXPECT_EQ(o.module.load, 0.0);
    EXPECT_EQ(o.module.noise, 12);
    EXPECT_EQ(o.timeScale, 25.5);

    for (const char* plant : {"1:1,1", "1:1,1,0,0,0", "0:1,1,0", "4:1,1,0", ":1,1,0", "1:0,1,0",
                              "1:1,0,0", "1:1,1,-1", "1:1,1,601", "1:1,1,0x", "1:1,,0",
                              "1:1;1;0", "1:1,1,0,", "1:1,5,0,1", "1: 1,1,0", "1:1,1,nan"}) {
        SimOptions bad;
        std::string err;
        EXPECT_FALSE(parse({"--link", "/x", "--plant", plant}, bad, &err)) << plant;
        EXPECT_NE(err.find("--plant"), std::string::npos) << plant << ": " << err;
    }
    for (std::vector<const char*> args : std::vector<std::vector<const char*>>{
             {"--load", "-1"}, {"--load", "1,5"}, {"--noise", "-1"}, {"--noise", "1001"},
             {"--noise", "2.5"}, {"--time-scale", "0"}, {"--time-scale", "1001"},
             {"--time-scale", ""}, {"--plant"}}) {
        args.insert(args.begin(), {"--link", "/x"});
        SimOptions bad;
        EXPECT_FALSE(parse(args, bad)) << args[2];
    }
}

TEST(SimControl, LoadAndNoiseCommands) {
    Module m;
    Faults f;
    bool silent = false;
    ControlState st{m, f, silent};
    EXPECT_EQ(runControl("load 0", st), "");
    EXPECT_EQ(m.load(), 0.0);
    EXPECT_EQ(runControl("load 12.5", st), "");
    EXPECT_EQ(m.load(), 12.5);
    EXPECT_EQ(runControl("noise 0", st), "");
    EXPECT_EQ(m.noise(), 0);
    EXPECT_EQ(runControl("noise 30", st), "");
    EXPECT_EQ(m.noise(), 30);
    for (const char* bad : {"load", "load -1", "load x", "load 1 2", "load 40000", "noise",
                            "noise -1", "noise 1001", "noise 1.5", "noise 1 2"})
        EXPECT_NE(runControl(bad, st), "") << bad;
    EXPECT_EQ(m.load(), 12.5);
    EXPECT_EQ(m.noise(), 30);
}
