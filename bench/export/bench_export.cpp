// The exporter at plant scale: 3 simulated Modbus TCP gateways with 10
// stations each, polled at a 1 s period. Measures, for the exporter and its
// line pollers together:
//   - CPU share of one core over a window with one scrape a second,
//   - resident memory (RSS summed; PSS beside it, which counts shared pages once),
//   - scrape time (connect to last byte) over a burst of scrapes: median and p99.
// Goals: < 2 % of a core, < 60 MB, p99 < 10 ms.
//
//     build/bench_export [WINDOW_S] [SCRAPES]      (default 30 and 1000)
#include "testing/SimProcess.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Gateways = 3;
constexpr int StationsPerGateway = 10;

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The exporter and its pollers.
std::vector<pid_t> processTree(pid_t exporter) {
    std::vector<pid_t> pids{exporter};
    std::istringstream children(readFile("/proc/" + std::to_string(exporter) + "/task/" +
                                         std::to_string(exporter) + "/children"));
    for (pid_t child; children >> child;)
        pids.push_back(child);
    return pids;
}

// utime + stime in clock ticks.
long long cpuTicks(pid_t pid) {
    const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    long long utime = 0, stime = 0;
    for (int i = 3; fields >> field; ++i) {
        if (i == 14) utime = std::atoll(field.c_str());
        if (i == 15) {
            stime = std::atoll(field.c_str());
            break;
        }
    }
    return utime + stime;
}

// A field of /proc/PID/status or smaps_rollup in kB.
long kilobytes(const std::string& path, const std::string& key) {
    std::istringstream in(readFile(path));
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + key.size());
    return 0;
}

// One GET /metrics: the body, and the time from connect to its last byte.
bool scrape(int port, std::string& body, double& ms) {
    const auto start = Clock::now();
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(uint16_t(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return false;
    }
    const char request[] = "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    if (::send(fd, request, sizeof request - 1, MSG_NOSIGNAL) < 0) {
        ::close(fd);
        return false;
    }
    std::string reply;
    char buf[65536];
    size_t need = std::string::npos;
    for (;;) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        reply.append(buf, size_t(n));
        const size_t head = reply.find("\r\n\r\n");
        if (need == std::string::npos && head != std::string::npos) {
            const size_t at = reply.find("Content-Length:");
            if (at != std::string::npos && at < head)
                need = head + 4 + std::strtoul(reply.c_str() + at + 15, nullptr, 10);
        }
        if (need != std::string::npos && reply.size() >= need) break;
    }
    ::close(fd);
    ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    const size_t head = reply.find("\r\n\r\n");
    if (reply.rfind("HTTP/1.1 200", 0) != 0 || head == std::string::npos) return false;
    body = reply.substr(head + 4);
    return true;
}

int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t size = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &size);
    ::close(fd);
    return ntohs(addr.sin_port);
}

int countUp(const std::string& body) {
    int up = 0;
    for (size_t at = 0; (at = body.find("\nqmt584_up{", at)) != std::string::npos; ++at)
        if (body.compare(body.find('}', at) + 1, 3, " 1\n") == 0) ++up;
    return up;
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

} // namespace

int main(int argc, char** argv) {
    const int windowS = argc > 1 ? std::atoi(argv[1]) : 30;
    const int scrapes = argc > 2 ? std::atoi(argv[2]) : 1000;

    std::string stations;
    for (int s = 1; s <= StationsPerGateway; ++s)
        stations += (s > 1 ? "," : "") + std::to_string(s);
    qmt::sim::SimProcess sims[Gateways];
    char dir[] = "/tmp/bench-export.XXXXXX";
    if (!::mkdtemp(dir)) return 1;
    const std::string targets = std::string(dir) + "/targets.ini";
    {
        std::ofstream out(targets);
        for (int g = 0; g < Gateways; ++g) {
            const std::string address =
                sims[g].start({"--tcp", "127.0.0.1:0", "--framing", "mbap", "--address", stations});
            if (address.empty()) {
                std::fprintf(stderr, "simulator: %s\n", sims[g].error().c_str());
                return 1;
            }
            out << "[gateway" << g + 1 << "]\nport = tcp://" << address << "\nstations = 1-"
                << StationsPerGateway << "\nperiod_ms = 1000\n\n";
        }
    }

    const int port = freePort();
    const std::string listen = "127.0.0.1:" + std::to_string(port);
    const char* args[] = {CLI_FILE,   "export",       "--config", targets.c_str(),
                          "--listen", listen.c_str(), nullptr};
    pid_t exporter = -1;
    if (posix_spawn(&exporter, CLI_FILE, nullptr, nullptr, const_cast<char**>(args), environ) !=
        0) {
        std::perror("posix_spawn");
        return 1;
    }

    // Warm-up: every station answered once.
    std::string body;
    double ms = 0;
    const auto ready = Clock::now() + std::chrono::seconds(20);
    while (Clock::now() < ready &&
           !(scrape(port, body, ms) && countUp(body) == Gateways * StationsPerGateway))
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const std::vector<pid_t> tree = processTree(exporter);

    // CPU over the window, one scrape a second.
    long long ticks0 = 0;
    for (pid_t p : tree)
        ticks0 += cpuTicks(p);
    const auto t0 = Clock::now();
    int upSeen = 0;
    for (int s = 0; s < windowS; ++s) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        if (scrape(port, body, ms)) upSeen = countUp(body);
    }
    long long ticks1 = 0;
    for (pid_t p : tree)
        ticks1 += cpuTicks(p);
    const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    const double cpuShare =
        100.0 * double(ticks1 - ticks0) / double(sysconf(_SC_CLK_TCK)) / seconds;

    long rss = 0, pss = 0;
    for (pid_t p : tree) {
        rss += kilobytes("/proc/" + std::to_string(p) + "/status", "VmRSS:");
        pss += kilobytes("/proc/" + std::to_string(p) + "/smaps_rollup", "Pss:");
    }

    // Scrape time: a burst, back to back.
    std::vector<double> times;
    size_t bytes = 0;
    for (int i = 0; i < scrapes; ++i)
        if (scrape(port, body, ms)) {
            times.push_back(ms);
            bytes = body.size();
        }

    ::kill(exporter, SIGTERM);
    int status = 0;
    ::waitpid(exporter, &status, 0);
    for (auto& sim : sims)
        sim.stop();
    ::unlink(targets.c_str());
    ::rmdir(dir);

    std::printf("exporter: %d lines, %d stations at 1 s, %zu processes (exporter + pollers)\n",
                Gateways, Gateways * StationsPerGateway, tree.size());
    std::printf("stations up in the last scrape: %d of %d\n", upSeen,
                Gateways * StationsPerGateway);
    std::printf("CPU share over %.0f s:   %.2f %% of a core   (goal < 2 %%)\n", seconds, cpuShare);
    std::printf("memory:                RSS %.1f MB summed, PSS %.1f MB   (goal < 60 MB)\n",
                double(rss) / 1024.0, double(pss) / 1024.0);
    std::printf("scrape (%zu bytes):     median %.2f ms, p99 %.2f ms over %zu scrapes   (goal p99 "
                "< 10 ms)\n",
                bytes, percentile(times, 0.5), percentile(times, 0.99), times.size());
    std::printf("exporter exit status after SIGTERM: %d\n",
                WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return 0;
}
