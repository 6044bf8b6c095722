// Acknowledgement latency of curvix as the program sees it: 13 channels of
// samples at 50 Hz through the pipes while the window is shown and following;
// the time from writing each copy-data message to reading its 'A'.

#include "common/TrendProtocol.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/time.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace curvix;
using Clock = std::chrono::steady_clock;

namespace {

int toViewer = -1, fromViewer = -1;
std::string pending;

bool writeAll(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(toViewer, bytes.data() + done, bytes.size() - done);
        if (n <= 0) return false;
        done += std::size_t(n);
    }
    return true;
}

bool readFrame(std::string& payload, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (pending.size() >= 4) {
            uint32_t n;
            std::memcpy(&n, pending.data(), 4);
            if (pending.size() >= 4 + n) {
                payload = pending.substr(4, n);
                pending.erase(0, 4 + n);
                return true;
            }
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd fd{fromViewer, POLLIN, 0};
        if (::poll(&fd, 1, int(left)) <= 0) continue;
        char buffer[4096];
        const ssize_t n = ::read(fromViewer, buffer, sizeof buffer);
        if (n <= 0) return false;
        pending.append(buffer, std::size_t(n));
    }
}

StampFields nowStamp() {
    timeval tv;
    gettimeofday(&tv, nullptr);
    tm local;
    localtime_r(&tv.tv_sec, &local);
    return StampFields{uint16_t(local.tm_year + 1900), uint16_t(local.tm_mon + 1),
                       uint16_t(local.tm_wday),        uint16_t(local.tm_mday),
                       uint16_t(local.tm_hour),        uint16_t(local.tm_min),
                       uint16_t(local.tm_sec),         uint16_t(tv.tv_usec / 1000)};
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, std::size_t(p * double(v.size())))];
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    signal(SIGPIPE, SIG_IGN);
    if (!getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return 1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        close(in[1]);
        close(out[0]);
        execl(CURVIX_FILE, CURVIX_FILE, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    toViewer = in[1];
    fromViewer = out[0];

    std::string reply;
    if (!writeAll(threadFrame(1)) || !readFrame(reply, 10000) || reply.size() != 9) {
        std::fprintf(stderr, "no registration\n");
        return 1;
    }
    uint32_t token;
    std::memcpy(&token, reply.data() + 5, 4);
    const int ids[] = {1, 2, 3, 8, 9, 10, 15, 16, 17, 31, 32, 33, 34};
    std::vector<double> latencies;
    auto deliver = [&](const std::string& record) {
        const auto t0 = Clock::now();
        if (!writeAll(copyDataFrame(token, record)) || !readFrame(reply, 2000) || reply != "A") {
            std::fprintf(stderr, "no acknowledgement\n");
            std::exit(1);
        }
        latencies.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    };
    deliver(beginRecord());
    for (int id : ids)
        deliver(channelRecord(id, "Y(k)" + std::to_string(id)));
    deliver(startRecord());
    latencies.clear();

    const auto period = std::chrono::milliseconds(20);
    auto next = Clock::now();
    const auto end = next + std::chrono::seconds(seconds);
    long cycle = 0;
    while (Clock::now() < end) {
        const StampFields stamp = nowStamp();
        for (int id : ids)
            deliver(sampleRecord(id, float(1000 * std::sin(cycle * 0.01 + id)), stamp));
        ++cycle;
        next += period;
        std::this_thread::sleep_until(next);
    }
    std::printf("cycles %ld, copy-data messages %zu\n", cycle, latencies.size());
    std::printf("acknowledgement latency: p50 %.0f us, p99 %.0f us, p99.9 %.0f us, max %.0f us\n",
                percentile(latencies, 0.50), percentile(latencies, 0.99),
                percentile(latencies, 0.999),
                *std::max_element(latencies.begin(), latencies.end()));
    close(toViewer);
    close(fromViewer);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    return 0;
}
