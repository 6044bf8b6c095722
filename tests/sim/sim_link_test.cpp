// qmt584-sim as a process, driven by libmodbus and mbpoll as independent masters.
#include "testing/SimProcess.h"

#include <gtest/gtest.h>
#include <modbus.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using qmt::sim::SimProcess;

namespace {

// One libmodbus master on the simulator's link.
class Master {
public:
    Master(const std::string& port, int baud = 19200, char parity = 'E', int slave = 1) {
        ctx_ = modbus_new_rtu(port.c_str(), baud, parity, 8, parity == 'N' ? 2 : 1);
        if (ctx_) {
            modbus_set_slave(ctx_, slave);
            modbus_set_response_timeout(ctx_, 0, 300000);
            if (modbus_connect(ctx_) != 0) {
                modbus_free(ctx_);
                ctx_ = nullptr;
            }
        }
    }
    ~Master() {
        if (ctx_) {
            modbus_close(ctx_);
            modbus_free(ctx_);
        }
    }
    modbus_t* ctx() const { return ctx_; }
    // register values, or the errno of the failure as the only element < 0
    std::vector<int> read(int addr, int count) {
        std::vector<uint16_t> buf(count);
        if (modbus_read_registers(ctx_, addr, count, buf.data()) != count) return {-errno};
        return std::vector<int>(buf.begin(), buf.end());
    }
    int write(int addr, std::vector<uint16_t> values) {
        int n = modbus_write_registers(ctx_, addr, int(values.size()), values.data());
        return n == int(values.size()) ? 0 : errno;
    }
    int writeProtected(int addr, std::vector<uint16_t> values) {
        int e = write(1912, {0x6B2D});
        return e ? e : write(addr, values);
    }

private:
    modbus_t* ctx_ = nullptr;
};

class SimLink : public ::testing::Test {
protected:
    SimProcess sim;
    std::string start(std::vector<std::string> args = {}) {
        std::string link = sim.start(args);
        EXPECT_FALSE(link.empty()) << sim.error();
        return link;
    }
};

int runExitCode(const std::string& cmd) {
    int status = std::system((cmd + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

TEST_F(SimLink, StartsServesAndCleansUp) {
    std::string link = start();
    char target[256] = {};
    ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(sim.slavePath(), target);
    {
        Master m(link);
        ASSERT_TRUE(m.ctx());
        EXPECT_EQ(m.read(0, 4), (std::vector<int>{2, 2049, 23791, 0x0200}));
        EXPECT_EQ(m.read(257, 4), (std::vector<int>{1, 192, 2, 1}));
        EXPECT_EQ(m.read(264, 7), (std::vector<int>{0, 0, 0, 100, 65535, 0, 2}));
    }
    EXPECT_EQ(sim.stop(), 0);
    struct stat st;
    EXPECT_NE(lstat(link.c_str(), &st), 0) << "link left behind";
}

TEST_F(SimLink, BadCommandLinesExitWithTwo) {
    const std::string exe = SimProcess::executable() + " --link /tmp/qmt584-sim-never";
    EXPECT_EQ(runExitCode(SimProcess::executable()), 2); // no --link
    EXPECT_EQ(runExitCode(exe + " --baud 1234"), 2);
    EXPECT_EQ(runExitCode(exe + " --parity mark"), 2);
    EXPECT_EQ(runExitCode(exe + " --address 0"), 2);
    EXPECT_EQ(runExitCode(exe + " --serial A2048"), 2);
    EXPECT_EQ(runExitCode(exe + " --firmware 200"), 2);
    EXPECT_EQ(runExitCode(exe + " --turnaround"), 2);
    EXPECT_EQ(runExitCode(exe + " --frobnicate"), 2);
    EXPECT_EQ(runExitCode(SimProcess::executable() + " --help"), 0);
}

TEST_F(SimLink, RulesAndExceptionsSeenByAnIndependentMaster) {
    Master m(start({"--type", "8", "--serial", "C0015", "--firmware", "0x0105"}));
    ASSERT_TRUE(m.ctx());
    EXPECT_EQ(m.read(0, 2), (std::vector<int>{8, 3 * 2048 + 15}));
    EXPECT_EQ(m.write(48, {100}), EMBXILVAL);
    EXPECT_EQ(m.read(48, 1), std::vector<int>{40});
    EXPECT_EQ(m.writeProtected(48, {100}), 0);
    EXPECT_EQ(m.read(48, 1), std::vector<int>{100});
    EXPECT_EQ(m.read(320, 5), std::vector<int>{-EMBXILADD}); // old firmware
    EXPECT_EQ(m.read(1024, 8), std::vector<int>{-EMBXILADD});
    uint8_t bit = 0;
    EXPECT_EQ(modbus_read_bits(m.ctx(), 0, 1, &bit), -1);
    EXPECT_EQ(errno, EMBXILFUN);
    // broadcast: executed, not answered (older libmodbus waits for a reply in vain)
    modbus_set_slave(m.ctx(), 0);
    int broadcast = m.write(265, {1234});
    EXPECT_TRUE(broadcast == 0 || broadcast == ETIMEDOUT) << broadcast;
    modbus_set_slave(m.ctx(), 1);
    EXPECT_EQ(m.read(265, 1), std::vector<int>{1234});
    // a new station address applies when the module restarts
    EXPECT_EQ(m.write(257, {5}), 0);
    EXPECT_EQ(m.read(257, 1), std::vector<int>{5});
    EXPECT_TRUE(sim.sendControl("restart"));
    EXPECT_EQ(m.read(257, 1), std::vector<int>{-ETIMEDOUT});
    modbus_set_slave(m.ctx(), 5);
    EXPECT_EQ(m.read(257, 1), std::vector<int>{5});
    EXPECT_EQ(m.read(260, 1), std::vector<int>{2});
}

TEST_F(SimLink, SilentAtOtherLineSettings) {
    std::string link = start({"--baud", "9600", "--parity", "none"});
    {
        Master wrongSpeed(link, 19200, 'N');
        EXPECT_EQ(wrongSpeed.read(0, 1), std::vector<int>{-ETIMEDOUT});
    }
    {
        Master wrongParity(link, 9600, 'O');
        EXPECT_EQ(wrongParity.read(0, 1), std::vector<int>{-ETIMEDOUT});
    }
    {
        Master evenParity(link, 9600, 'E');
        EXPECT_EQ(evenParity.read(0, 1), std::vector<int>{-ETIMEDOUT});
    }
    Master right(link, 9600, 'N');
    EXPECT_EQ(right.read(0, 1), std::vector<int>{2});
    // the module's new speed, once written and restarted, is the only one it answers at
    EXPECT_EQ(right.write(258, {192}), 0);
    EXPECT_EQ(right.write(259, {0}), 0);
    EXPECT_EQ(right.read(258, 1), std::vector<int>{192});
    EXPECT_TRUE(sim.sendControl("restart"));
    EXPECT_EQ(right.read(0, 1), std::vector<int>{-ETIMEDOUT});
    Master moved(link, 19200, 'N');
    EXPECT_EQ(moved.read(0, 1), std::vector<int>{2});
}

TEST_F(SimLink, RepliesTakeTheLineTime) {
    using ms = std::chrono::duration<double, std::milli>;
    auto timeRead = [](Master& m) {
        auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(m.read(264, 7).size(), 7u);
        return ms(std::chrono::steady_clock::now() - t0).count();
    };
    // 19 reply bytes of 11 bits at 2400 baud: 87 ms on the wire
    {
        Master m(start({"--baud", "2400"}), 2400);
        EXPECT_GE(timeRead(m), 85.0);
        EXPECT_LT(timeRead(m), 400.0);
    }
    sim.stop();
    Master fast(start({"--baud", "2400", "--no-pace"}), 2400);
    EXPECT_LT(timeRead(fast), 85.0);
}

TEST_F(SimLink, TraceRecordsEveryFrame) {
    Master m(start());
    EXPECT_EQ(m.read(0, 4).size(), 4u);
    EXPECT_EQ(m.read(4, 1), std::vector<int>{-EMBXILADD});
    std::vector<std::string> lines = sim.traceLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "< 01 03 00 00 00 04 44 09");
    EXPECT_EQ(lines[1], "> 01 03 08 00 02 08 01 5C EF 02 00 A8 5A");
    EXPECT_EQ(lines[3].substr(0, 8), "> 01 83 ");
    for (const auto& l : lines) { // "<" or ">", then " HH" per byte
        bool ok = l.size() >= 4 && (l[0] == '<' || l[0] == '>') && (l.size() - 1) % 3 == 0;
        for (size_t i = 1; ok && i < l.size(); i += 3)
            ok = l[i] == ' ' && std::isxdigit(uint8_t(l[i + 1])) && !std::islower(l[i + 1]) &&
                 std::isxdigit(uint8_t(l[i + 2])) && !std::islower(l[i + 2]);
        EXPECT_TRUE(ok) << l;
    }
}

TEST_F(SimLink, ControlCommandsAndFaults) {
    Master m(start());
    EXPECT_TRUE(sim.sendControl("silent on"));
    EXPECT_EQ(m.read(0, 1), std::vector<int>{-ETIMEDOUT});
    EXPECT_TRUE(sim.sendControl("silent off"));
    EXPECT_EQ(m.read(0, 1), std::vector<int>{2});

    EXPECT_TRUE(sim.sendControl("set 1028 0x000C"));
    EXPECT_TRUE(sim.sendControl("set 1073 1"));
    EXPECT_EQ(m.read(1028, 1), std::vector<int>{12});
    EXPECT_TRUE(sim.sendControl("source 2 mV 10000"));
    EXPECT_TRUE(sim.sendControl("source 3 uA -20000"));
    std::vector<int> in = m.read(1024, 3);
    ASSERT_EQ(in.size(), 3u);
    EXPECT_NEAR(in[1], 3827, 2);
    EXPECT_NEAR(in[2], 506, 2);
    EXPECT_TRUE(sim.sendControl("set 51 0"));
    EXPECT_TRUE(sim.sendControl("wire 1 voltage -"));
    EXPECT_EQ(m.write(1027, {16056}), 0);
    EXPECT_NEAR(m.read(1024, 1).at(0), 299, 2);
    EXPECT_TRUE(sim.sendControl("open 1"));

    EXPECT_TRUE(sim.sendControl("fault crc 1"));
    EXPECT_EQ(m.read(0, 1), std::vector<int>{-EMBBADCRC});
    EXPECT_EQ(m.read(0, 1), std::vector<int>{2});
    EXPECT_TRUE(sim.sendControl("fault exception 4 2"));
    EXPECT_EQ(m.write(265, {7}), EMBXSFAIL);
    EXPECT_EQ(m.read(265, 1), std::vector<int>{-EMBXSFAIL});
    EXPECT_EQ(m.read(265, 1), std::vector<int>{0}); // the refused write did nothing
    EXPECT_TRUE(sim.sendControl("fault delay 500"));
    EXPECT_EQ(m.read(0, 1), std::vector<int>{-ETIMEDOUT});
    EXPECT_TRUE(sim.sendControl("fault clear"));
    usleep(600000); // let the late reply go by
    modbus_flush(m.ctx());
    EXPECT_EQ(m.read(0, 1), std::vector<int>{2});
    EXPECT_TRUE(sim.sendControl("fault split 100"));
    modbus_set_byte_timeout(m.ctx(), 0, 40000);
    EXPECT_LT(m.read(0, 4).at(0), 0);
    EXPECT_TRUE(sim.sendControl("fault split 0"));
    usleep(200000);
    modbus_flush(m.ctx());
    EXPECT_EQ(m.read(0, 1), std::vector<int>{2});

    for (const char* bad : {"frobnicate", "set 70000 1", "wire 4 voltage +", "wire 1 volts +",
                            "source 1 mA 5", "fault crc", "silent maybe", "open", "meter V"})
        EXPECT_FALSE(sim.sendControl(bad)) << bad;

    const std::string dump = sim.controlPath() + ".dump";
    EXPECT_TRUE(sim.sendControl("dump " + dump));
    std::string text = readFile(dump);
    std::remove(dump.c_str());
    EXPECT_NE(text.find("\n1028 12\n"), std::string::npos);
    EXPECT_NE(text.find("\n1073 1\n"), std::string::npos);
    EXPECT_NE(text.find("output_mV 9830.00"), std::string::npos);

    // The output terminals as a meter reads them; 1027 is the converter code
    // while the output blocks are neutral (slew 0 from above).
    EXPECT_EQ(m.write(1027, {328}), 0);
    std::string reading;
    EXPECT_TRUE(sim.sendControl("meter uA", &reading));
    EXPECT_EQ(reading, "meter 421 uA");
    EXPECT_TRUE(sim.sendControl("meter", &reading)); // the output is in voltage mode
    EXPECT_EQ(reading, "meter -9830 mV");
    EXPECT_EQ(sim.stop(), 0);
}

TEST_F(SimLink, StateFileKeepsTheImageAcrossRuns) {
    char dir[] = "/tmp/qmt584-state.XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    const std::string state = std::string(dir) + "/module.state";
    {
        Master m(start({"--state", state}));
        EXPECT_EQ(m.read(260, 1), std::vector<int>{1});
        EXPECT_EQ(m.writeProtected(8, {40706, 5, 54024}), 0);
        EXPECT_EQ(m.write(258, {96}), 0);
        EXPECT_EQ(m.read(258, 1), std::vector<int>{96}); // still at 19200 until it restarts
    }
    EXPECT_EQ(sim.stop(), 0);
    {
        Master m(start({"--state", state}), 9600);
        EXPECT_EQ(m.read(8, 3), (std::vector<int>{40706, 5, 54024}));
        EXPECT_EQ(m.read(260, 1), std::vector<int>{2});
        EXPECT_EQ(m.write(260, {0}), 0);
    }
    EXPECT_EQ(sim.stop(), 0);
    // an option on the command line wins over the stored image
    Master m(start({"--state", state, "--baud", "19200"}));
    EXPECT_EQ(m.read(260, 1), std::vector<int>{1});
    sim.stop();
    std::remove(state.c_str());
    rmdir(dir);
}

TEST_F(SimLink, MbpollReadsAndWrites) {
    std::string link = start();
    const std::string mbpoll = "mbpoll -m rtu -b 19200 -P even -a 1 -t 4 -0 -1 ";
    EXPECT_EQ(runExitCode(mbpoll + "-r 265 " + link + " 4321"), 0);
    FILE* p = popen((mbpoll + "-r 264 -c 4 " + link + " 2>&1").c_str(), "r");
    ASSERT_TRUE(p);
    std::string out;
    char buf[256];
    while (fgets(buf, sizeof buf, p))
        out += buf;
    pclose(p);
    EXPECT_NE(out.find("[265]: \t4321"), std::string::npos) << out;
    EXPECT_NE(out.find("[267]: \t100"), std::string::npos) << out;
}

TEST_F(SimLink, TimeScaleRunsThePlantsFaster) {
    // Xm reaches 90 % of its step after 46 s of simulated time: at fifty times
    // the wall clock that is about a second, at one it would be the whole minute.
    start({"--plant", "1:1,20,0", "--noise", "0", "--load", "0", "--time-scale", "50"});
    ASSERT_TRUE(sim.sendControl("set 1044 1000")); // forced output value of ПИД1
    ASSERT_TRUE(sim.sendControl("set 274 1"));     // forced output on
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    long xm = 0;
    while ((xm = sim.registerValue(1024)) < 2048 + 900 &&
           std::chrono::steady_clock::now() < deadline)
        usleep(50000);
    EXPECT_GE(xm, 2048 + 900);
    EXPECT_LE(xm, 2048 + 1000);
    EXPECT_EQ(sim.stop(), 0);
}
