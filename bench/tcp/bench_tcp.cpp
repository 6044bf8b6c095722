// Median time of a 7-register read (function 3) from qmt584-sim serving
// Modbus TCP on 127.0.0.1: the library's invoke_modb against libmodbus's
// modbus_read_registers, in alternating rounds of one run so that both see the
// same machine load. The simulator takes one client at a time, so each round
// connects its master, reads, and lets go. RTU over TCP is timed too, on a
// second simulator, for comparison.
//
//     build/bench_tcp [READS_PER_ROUND] [ROUNDS]      (default 500 and 8)
#include "testing/SimProcess.h"
#include "vornlink.h"

#include <modbus.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint16_t kAddress = 264; // ПИД1's block
constexpr uint16_t kCount = 7;

double us(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

bool vornlinkRound(const std::string& name, int reads, std::vector<double>& out) {
    if (init_comm(name.c_str(), 19200, 2) != 0) return false;
    SetTout(200);
    uint16_t regs[kCount];
    for (int i = 0; i < reads; ++i) {
        auto t = Clock::now();
        int32_t status = invoke_modb(1, 3, kAddress, kCount, regs);
        auto took = Clock::now() - t;
        if (status != 0) return false;
        out.push_back(us(took));
    }
    init_comm("/nonexistent/bench-tcp", 9600, 0); // lets the simulator take the next client
    return true;
}

bool libmodbusRound(const std::string& host, int port, int reads, std::vector<double>& out) {
    modbus_t* ctx = modbus_new_tcp(host.c_str(), port);
    if (!ctx) return false;
    modbus_set_slave(ctx, 1);
    modbus_set_response_timeout(ctx, 0, 200000);
    bool ok = modbus_connect(ctx) == 0;
    uint16_t regs[kCount];
    for (int i = 0; ok && i < reads; ++i) {
        auto t = Clock::now();
        ok = modbus_read_registers(ctx, kAddress, kCount, regs) == kCount;
        out.push_back(us(Clock::now() - t));
    }
    modbus_close(ctx);
    modbus_free(ctx);
    return ok;
}

void report(const char* what, const std::vector<double>& t) {
    std::printf("%-34s median %7.1f us   p90 %7.1f us   p99 %7.1f us   (%zu reads)\n", what,
                median(t), percentile(t, 0.9), percentile(t, 0.99), t.size());
}

} // namespace

int main(int argc, char** argv) {
    const int reads = argc > 1 ? std::atoi(argv[1]) : 500;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 8;
    // No turnaround of its own: only the masters and the loopback are timed.
    qmt::sim::SimProcess mbap, rtu;
    const std::string tcpAddr =
        mbap.start({"--tcp", "127.0.0.1:0", "--framing", "mbap", "--turnaround", "0"});
    const std::string rtuAddr =
        rtu.start({"--tcp", "127.0.0.1:0", "--framing", "rtu", "--turnaround", "0"});
    if (tcpAddr.empty() || rtuAddr.empty()) {
        std::fprintf(stderr, "bench_tcp: the simulator did not start: %s%s\n", mbap.error().c_str(),
                     rtu.error().c_str());
        return 1;
    }
    const std::string host = tcpAddr.substr(0, tcpAddr.rfind(':'));
    const int port = std::atoi(tcpAddr.substr(tcpAddr.rfind(':') + 1).c_str());

    std::vector<double> ours, theirs, oursRtu;
    for (int r = 0; r < rounds; ++r) {
        // Alternate who goes first, so neither always gets the warmer machine.
        bool ok = r % 2 ? libmodbusRound(host, port, reads, theirs) &&
                              vornlinkRound("tcp://" + tcpAddr, reads, ours)
                        : vornlinkRound("tcp://" + tcpAddr, reads, ours) &&
                              libmodbusRound(host, port, reads, theirs);
        ok = ok && vornlinkRound("rtu+tcp://" + rtuAddr, reads, oursRtu);
        if (!ok) {
            std::fprintf(stderr, "bench_tcp: a read failed in round %d\n", r + 1);
            return 1;
        }
    }
    report("vornlink tcp:// invoke_modb", ours);
    report("libmodbus modbus_read_registers", theirs);
    report("vornlink rtu+tcp:// invoke_modb", oursRtu);
    const double ratio = median(ours) / median(theirs);
    std::printf("ratio of medians vornlink / libmodbus: %.3f (goal <= 1.2): %s\n", ratio,
                ratio <= 1.2 ? "met" : "NOT met");
    return 0;
}
