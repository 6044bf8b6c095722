// Opening and configuring the port, exclusivity, reply time-outs and raw exchanges.
#include "interrupter.h"
#include "link_fixture.h"

#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <thread>

using namespace vltest;

namespace {

class PortTest : public LinkTest {};

// Holds the port from another process until the returned pipe is closed.
pid_t holdInChild(const std::string& path, int* release, int32_t* status) {
    int ready[2], hold[2];
    if (pipe(ready) != 0 || pipe(hold) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        close(ready[0]);
        close(hold[1]);
        int32_t rc = init_comm(path.c_str(), 9600, 0);
        if (write(ready[1], &rc, sizeof rc) != sizeof rc) _exit(2);
        char c;
        while (read(hold[0], &c, 1) > 0) {
        }
        releasePort();
        _exit(0);
    }
    close(ready[1]);
    close(hold[0]);
    if (read(ready[0], status, sizeof *status) != sizeof *status) *status = -1;
    close(ready[0]);
    *release = hold[1];
    return pid;
}

} // namespace

TEST_F(PortTest, LineSettingsFollowTheParityCode) {
    struct Want {
        int parity, stopBits;
    };
    for (Want w : {Want{0, 2}, Want{1, 1}, Want{2, 1}}) {
        SCOPED_TRACE(w.parity);
        ASSERT_EQ(init_comm(module.path().c_str(), 9600, static_cast<uint8_t>(w.parity)), 0);
        LineState line = module.line();
        EXPECT_EQ(line.baud, 9600u);
        EXPECT_EQ(line.parity, w.parity);
        EXPECT_EQ(line.stopBits, w.stopBits);
        EXPECT_TRUE(line.dataBits8);
        EXPECT_TRUE(line.raw);
        EXPECT_TRUE(line.inpck);
        EXPECT_TRUE(line.noFlowControl);
        EXPECT_TRUE(line.local);
    }
}

TEST_F(PortTest, NonStandardRatesAreSetExactly) {
    for (uint32_t baud : {28800u, 14400u, 115200u, 2400u}) {
        ASSERT_EQ(init_comm(module.path().c_str(), baud, 1), 0) << baud;
        EXPECT_EQ(module.line().baud, baud);
    }
}

TEST_F(PortTest, RejectedSettingsGive12AndKeepThePort) {
    EXPECT_EQ(init_comm(module.path().c_str(), 9600, 3), 12);
    EXPECT_EQ(init_comm(module.path().c_str(), 0, 0), 12);
    // The port stays held, partly configured, as the failure leaves it.
    EXPECT_NE(SetTout(100), 0);
}

TEST_F(PortTest, MissingDeviceGives11ThenNoAnswer) {
    EXPECT_EQ(init_comm("/dev/vornlink-no-such-port", 9600, 0), 11);
    EXPECT_EQ(init_comm("/dev/null", 9600, 0), 11); // not a terminal
    EXPECT_EQ(init_comm(nullptr, 9600, 0), 11);
    EXPECT_EQ(SetTout(200), 0);
    uint16_t reg = 0;
    EXPECT_EQ(invoke_modb(1, 3, 0, 1, &reg), 14);
    uint8_t response[256];
    EXPECT_EQ(Send_And_Receive(2, "\x01\x02", response), 0);
}

TEST_F(PortTest, ReopeningTheSamePortWorks) {
    ASSERT_EQ(init_comm(module.path().c_str(), 19200, 2), 0);
    ASSERT_EQ(init_comm(module.path().c_str(), 19200, 2), 0);
    module.replyBytes(withCrc(hex("01 03 02 00 2A")));
    uint16_t reg = 0;
    EXPECT_EQ(invoke_modb(1, 3, 0, 1, &reg), 0);
    EXPECT_EQ(reg, 42);
}

TEST_F(PortTest, PortHeldByAnotherProcessGives11) {
    releasePort();
    int release = -1;
    int32_t childStatus = -1;
    pid_t pid = holdInChild(module.path(), &release, &childStatus);
    ASSERT_GT(pid, 0);
    EXPECT_EQ(childStatus, 0);
    EXPECT_EQ(init_comm(module.path().c_str(), 9600, 0), 11);
    close(release);
    int ws = 0;
    waitpid(pid, &ws, 0);
    EXPECT_EQ(init_comm(module.path().c_str(), 9600, 0), 0); // free again once it exited
}

TEST_F(PortTest, SilentModuleCostsTheReadTimeout) {
    module.silent();
    uint16_t reg = 0;
    EXPECT_NE(SetTout(150), 0);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(invoke_modb(1, 3, 0, 1, &reg), 14);
    double ms = msSince(start);
    EXPECT_GE(ms, 140);
    EXPECT_LT(ms, 1500);

    // Values below 5 ms become 5 ms, which still leaves no room for a reply.
    for (uint32_t t : {0u, 4u}) {
        EXPECT_NE(SetTout(t), 0);
        start = std::chrono::steady_clock::now();
        EXPECT_EQ(invoke_modb(1, 3, 0, 1, &reg), 14);
        EXPECT_LT(msSince(start), 140);
    }
}

TEST_F(PortTest, TimeoutSetWithoutAPortAppliesToTheNextOne) {
    releasePort();
    EXPECT_EQ(SetTout(60), 0);
    ASSERT_EQ(init_comm(module.path().c_str(), 115200, 0), 0);
    module.silent();
    uint16_t reg = 0;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(invoke_modb(1, 3, 0, 1, &reg), 14);
    double ms = msSince(start);
    EXPECT_GE(ms, 55);
    EXPECT_LT(ms, 350); // far below the initial 400 ms
}

TEST_F(PortTest, SendAndReceiveMovesRawBytes) {
    Bytes reply = hex("DE AD BE EF 00 11");
    module.replyBytes(reply);
    const uint8_t request[] = {0x01, 0x02, 0x03}; // no CRC added or checked
    uint8_t response[256];
    EXPECT_EQ(Send_And_Receive(3, request, response), 6);
    EXPECT_EQ(Bytes(response, response + 6), reply);
    module.waitIdle();
    EXPECT_EQ(module.requests().at(0), Bytes(request, request + 3));

    module.reply({{Bytes(300, 0x55), 0}});
    EXPECT_EQ(Send_And_Receive(1, request, response), 256); // one read of at most 256
    module.waitIdle();

    EXPECT_EQ(Send_And_Receive(3, request, nullptr), -1);
    module.silent();
    SetTout(20);
    EXPECT_EQ(Send_And_Receive(3, request, response), 0);
}

TEST_F(PortTest, SendAndReceiveReadsEvenWhenNothingCanBeSent) {
    // Only an unusable response buffer is refused; a request that cannot be
    // written fails like any write, unreported, and the reply is still read.
    module.clearRequests();
    SetTout(1000);
    for (int32_t length : {-1, 3}) {
        SCOPED_TRACE(length);
        const uint8_t* request = length < 0 ? reinterpret_cast<const uint8_t*>("\x01") : nullptr;
        Bytes late = hex("0A 0B 0C 0D");
        std::thread talker([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            EXPECT_EQ(write(module.masterFd(), late.data(), late.size()),
                      static_cast<ssize_t>(late.size()));
        });
        uint8_t response[256] = {};
        EXPECT_EQ(Send_And_Receive(length, request, response), 4);
        talker.join();
        EXPECT_EQ(Bytes(response, response + 4), late);
    }
    usleep(20000);
    EXPECT_TRUE(module.requests().empty());
}

// Signals while a long request waits for room in the output queue and while
// the reply is read: the write goes on, the whole request reaches the module,
// and the reply still ends at its silence, not at the time-out.
TEST_F(PortTest, SignalsCutNeitherTheWriteNorTheSilence) {
    module.replyBytes(hex("01 02 03"));
    Bytes request(256 * 1024, 0x5A);
    uint8_t response[256];
    SetTout(3000);
    {
        Interrupter signals(200);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Send_And_Receive(int32_t(request.size()), request.data(), response), 3);
        EXPECT_LT(msSince(start), 2500) << "the reply waited for the time-out";
    }
    module.waitIdle();
    ASSERT_EQ(module.requests().size(), 1u);
    EXPECT_EQ(module.requests()[0].size(), request.size());
}

TEST_F(PortTest, PriorityIsRaisedOnlyForTheExchange) {
    pid_t caller = gettid();
    int policyDuring = -1, niceDuring = 99;
    module.serve([&](const Bytes&, const LineState&) {
        policyDuring = sched_getscheduler(caller);
        niceDuring = getpriority(PRIO_PROCESS, static_cast<id_t>(caller));
        return Script{{withCrc(hex("01 03 02 00 01")), 0}};
    });
    uint16_t reg = 0;
    EXPECT_EQ(invoke_modb(1, 3, 0, 1, &reg), 0);
    module.waitIdle();
    EXPECT_EQ(sched_getscheduler(0), SCHED_OTHER);
    EXPECT_EQ(getpriority(PRIO_PROCESS, 0), 0);

    // What is granted depends on the process's rights; ask the same way.
    struct sched_param sp {};
    sp.sched_priority = sched_get_priority_min(SCHED_FIFO);
    bool realTime = sched_setscheduler(0, SCHED_FIFO, &sp) == 0;
    sp.sched_priority = 0;
    sched_setscheduler(0, SCHED_OTHER, &sp);
    if (realTime)
        EXPECT_EQ(policyDuring, SCHED_FIFO);
    else
        EXPECT_LE(niceDuring, 0);
}
