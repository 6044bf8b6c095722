// qmt584-sim serving TCP on loopback: mbpoll as an independent master in both
// framings, and the project's library through every fault of the link.
#include "testing/SimProcess.h"
#include "vornlink.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using qmt::sim::SimProcess;

namespace {

std::string run(const std::string& cmd) {
    std::string out;
    FILE* p = popen((cmd + " 2>&1").c_str(), "r");
    if (!p) return out;
    char buf[256];
    while (fgets(buf, sizeof buf, p))
        out += buf;
    pclose(p);
    return out;
}

class SimTcp : public ::testing::TestWithParam<bool> {
protected:
    SimProcess sim;
    std::string hostPort; // 127.0.0.1:N

    bool mbap() const { return GetParam(); }
    void start() {
        hostPort = sim.start({"--tcp", "127.0.0.1:0", "--framing", mbap() ? "mbap" : "rtu"});
        ASSERT_FALSE(hostPort.empty()) << sim.error();
    }
    std::string port() const { return hostPort.substr(hostPort.find(':') + 1); }
    void connect() {
        const std::string name = (mbap() ? "tcp://" : "rtu+tcp://") + hostPort;
        ASSERT_EQ(init_comm(name.c_str(), 19200, 2), 0);
        SetTout(200);
    }
    int32_t read(uint16_t* regs) { return invoke_modb(1, 3, 264, 7, regs); }
    void TearDown() override {
        init_comm("/nonexistent/vornlink-test", 9600, 0);
        SetTout(400);
    }
};

} // namespace

// A transparent gateway of our own for an mbpoll without RTU over TCP: its
// RTU master on a pseudo-terminal, every byte passed on to the TCP port.
class PtyGateway {
public:
    explicit PtyGateway(int tcpPort) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        path_ = ptsname(master_);
        sock_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<uint16_t>(tcpPort));
        if (::connect(sock_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return;
        relay_ = std::thread([this] { pump(); });
    }
    ~PtyGateway() {
        stop_ = true;
        if (relay_.joinable()) relay_.join();
        for (int fd : {master_, sock_})
            if (fd >= 0) close(fd);
    }
    const std::string& path() const { return path_; }

private:
    void pump() {
        uint8_t buf[512];
        while (!stop_) {
            pollfd p[2] = {{master_, POLLIN, 0}, {sock_, POLLIN, 0}};
            if (poll(p, 2, 10) <= 0) continue;
            for (int i = 0; i < 2; i++) {
                if (!(p[i].revents & POLLIN)) continue;
                ssize_t n = ::read(p[i].fd, buf, sizeof buf);
                if (n > 0 && ::write(p[1 - i].fd, buf, size_t(n)) != n) return;
            }
        }
    }
    int master_ = -1, sock_ = -1;
    std::string path_;
    std::atomic<bool> stop_{false};
    std::thread relay_;
};

// Older mbpoll releases know only rtu and tcp.
bool mbpollHasRtuOverTcp() {
    return run("mbpoll -m enc -h").find("Illegal mode") == std::string::npos;
}

TEST_P(SimTcp, MbpollReadsAndWrites) {
    start();
    std::unique_ptr<PtyGateway> gateway;
    std::string mbpoll, target;
    if (mbap()) {
        mbpoll = "mbpoll -m tcp -p " + port();
        target = "127.0.0.1";
    } else if (mbpollHasRtuOverTcp()) {
        mbpoll = "mbpoll -m enc -p " + port();
        target = "127.0.0.1";
    } else {
        gateway = std::make_unique<PtyGateway>(std::stoi(port()));
        ASSERT_FALSE(gateway->path().empty());
        mbpoll = "mbpoll -m rtu -b 19200 -P even";
        target = gateway->path();
    }
    mbpoll += " -a 1 -t 4 -0 -1 ";
    std::string out = run(mbpoll + "-r 265 " + target + " 4321");
    EXPECT_NE(out.find("Written 1 references"), std::string::npos) << out;
    out = run(mbpoll + "-r 264 -c 4 " + target);
    EXPECT_NE(out.find("[265]: \t4321"), std::string::npos) << out;
    EXPECT_NE(out.find("[267]: \t100"), std::string::npos) << out;
}

TEST_P(SimTcp, FaultsOfTheLink) {
    start();
    connect();
    uint16_t regs[7] = {};
    ASSERT_EQ(read(regs), 0);
    EXPECT_EQ(regs[3], 100);

    struct Step {
        const char* control;
        int32_t rtu, mbap; // status of the read after the command
    } steps[] = {
        {"fault split 80", 0, 0},
        {"fault clear", 0, 0},
        // A Modbus TCP gateway passes no corrupted frame on: nothing comes.
        {"fault crc 1", 17, 14},
        {"fault delay 400", 14, 14},
        {"fault clear", 0, 0},
        {"fault drop", 14, 14},
        {"fault clear", 0, 0}, // connected again
        {"silent on", 14, 14},
        {"silent off", 0, 0},
        {"fault exception 4 1", 4, 4},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.control);
        ASSERT_TRUE(sim.sendControl(s.control));
        uint16_t got[7] = {};
        EXPECT_EQ(read(got), mbap() ? s.mbap : s.rtu);
    }
    // The control FIFO answers as on the serial line, the meter's reading included.
    std::string reading;
    ASSERT_TRUE(sim.sendControl("meter mV", &reading));
    EXPECT_EQ(reading.rfind("meter ", 0), 0u) << reading;
}

TEST_P(SimTcp, TheNextClientIsServedWhenOneLeaves) {
    start();
    connect();
    // A second client is accepted by the kernel but waits for the first.
    int other = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(std::stoi(port())));
    ASSERT_EQ(::connect(other, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    const uint8_t rtu[] = {1, 3, 0x01, 0x08, 0, 1, 0x04, 0x34};
    const uint8_t tcp[] = {0, 9, 0, 0, 0, 6, 1, 3, 0x01, 0x08, 0, 1};
    if (mbap())
        ASSERT_EQ(send(other, tcp, sizeof tcp, 0), ssize_t(sizeof tcp));
    else
        ASSERT_EQ(send(other, rtu, sizeof rtu, 0), ssize_t(sizeof rtu));
    pollfd p{other, POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 100), 0) << "served while the first client is there";
    uint16_t regs[7] = {};
    EXPECT_EQ(read(regs), 0);

    init_comm("/nonexistent/vornlink-test", 9600, 0); // the first client leaves
    ASSERT_EQ(poll(&p, 1, 2000), 1);
    uint8_t reply[32];
    ssize_t n = recv(other, reply, sizeof reply, 0);
    EXPECT_EQ(n, mbap() ? 11 : 7);
    close(other);
}

INSTANTIATE_TEST_SUITE_P(Framing, SimTcp, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Mbap" : "Rtu"; });
