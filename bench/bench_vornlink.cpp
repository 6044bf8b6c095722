// Opening time and per-transaction overhead of the library. The overhead is
// what a 7-register read costs beyond what the protocol fixes: the responder's
// own turnaround, the 55 ms silence that ends a reply and the 62-bit pause.
#include "frame_crc.h"
#include "raw_pty.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "vornlink.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kBaud = 115200;
constexpr double kSilenceMs = 55.0;
constexpr double kPauseMs = (62000000 / kBaud) / 1000.0;

// Answers every read-registers request at once with an incrementing pattern and
// keeps the time it spent between the request's arrival and its written reply.
class Responder {
public:
    Responder() {
        thread_ = std::thread([this] { run(); });
    }
    ~Responder() {
        stop_ = true;
        thread_.join();
    }
    const char* path() const { return pty_.path.c_str(); }
    double takeTurnaroundMs() { return turnaroundNs_.exchange(0) / 1e6; }

private:
    void run() {
        uint8_t req[256];
        while (!stop_) {
            struct pollfd p = {pty_.master, POLLIN, 0};
            if (poll(&p, 1, 10) <= 0) continue;
            auto arrived = Clock::now();
            ssize_t n = read(pty_.master, req, sizeof req);
            if (n != 8 || req[1] != 3) continue;
            int count = req[5];
            std::vector<uint8_t> reply = {req[0], 3, static_cast<uint8_t>(2 * count)};
            for (int k = 0; k < count; k++) {
                reply.push_back(0);
                reply.push_back(static_cast<uint8_t>(k));
            }
            uint16_t crc = vltest::crc16(reply.data(), reply.size());
            reply.push_back(crc & 0xFF);
            reply.push_back(crc >> 8);
            if (write(pty_.master, reply.data(), reply.size()) < 0) continue;
            turnaroundNs_ +=
                std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - arrived)
                    .count();
        }
    }

    vltest::RawPty pty_;
    std::atomic<bool> stop_{false};
    std::atomic<int64_t> turnaroundNs_{0};
    std::thread thread_;
};

void BM_InitComm(benchmark::State& state) {
    Responder module;
    for (auto _ : state) {
        if (init_comm(module.path(), kBaud, 0) != 0) state.SkipWithError("init_comm failed");
    }
    init_comm("/nonexistent", kBaud, 0);
}
BENCHMARK(BM_InitComm)->Unit(benchmark::kMillisecond)->UseRealTime();

// A hook that only counts, for the cost of watching the traffic.
void countFrame(void* context, int32_t, const uint8_t*, int32_t, uint64_t, int32_t) {
    ++*static_cast<int64_t*>(context);
}

// Argument 0: no trace hook (the usual case); 1: a hook set.
void BM_Read7Registers(benchmark::State& state) {
    Responder module;
    if (init_comm(module.path(), kBaud, 0) != 0 || SetTout(200) == 0) {
        state.SkipWithError("cannot open the port");
        return;
    }
    int64_t frames = 0;
    SetTraceHook(state.range(0) ? countFrame : nullptr, &frames);
    uint16_t regs[7];
    double overheadMs = 0;
    module.takeTurnaroundMs();
    for (auto _ : state) {
        auto start = Clock::now();
        if (invoke_modb(1, 3, 0, 7, regs) != 0) state.SkipWithError("read failed");
        double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        overheadMs += ms - module.takeTurnaroundMs() - kSilenceMs - kPauseMs;
    }
    state.counters["overhead_ms"] =
        benchmark::Counter(overheadMs, benchmark::Counter::kAvgIterations);
    SetTraceHook(nullptr, nullptr);
    init_comm("/nonexistent", kBaud, 0);
}
BENCHMARK(BM_Read7Registers)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1.0);

} // namespace

BENCHMARK_MAIN();
