// Start-up and idle figures of the program against the simulator, offscreen:
//   time from exec to the main window's first paint, median of --runs runs;
//   CPU use of the idle program over --idle seconds with link supervision
//   running, and its resident memory.
// Goals: under 300 ms, under 1 % of one core, under 80 MB.
//
//   build/bench_startup [--runs 10] [--idle 60]
#include "testing/SimProcess.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

namespace {

long long nowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

bool copyFile(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary);
    out << in.rdbuf();
    return in && out && chmod(to.c_str(), 0755) == 0;
}

struct Child {
    pid_t pid = -1;
    int err = -1; // read end of its standard error
};

// The program from the bench folder, offscreen, with the probe preloaded.
Child spawnProgram(const std::string& program, bool stay) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string s = *e;
        if (s.rfind("LD_PRELOAD=", 0) == 0 || s.rfind("QT_QPA_PLATFORM=", 0) == 0 ||
            s.rfind("LD_LIBRARY_PATH=", 0) == 0 || s.rfind("QMT_PROBE_STAY=", 0) == 0)
            continue;
        env.push_back(s);
    }
    env.push_back("QT_QPA_PLATFORM=offscreen");
    env.push_back(std::string("LD_PRELOAD=") + PROBE_FILE);
    if (stay) env.push_back("QMT_PROBE_STAY=1");
    std::vector<char*> envp;
    for (std::string& s : env)
        envp.push_back(s.data());
    envp.push_back(nullptr);

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    Child c;
    if (posix_spawn(&c.pid, program.c_str(), &actions, nullptr, argv, envp.data()) != 0) c.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    c.err = fds[0];
    return c;
}

// Reads the child's standard error until the probe's line; -1 on a time-out
// or when the program ended first.
long long waitShown(const Child& c, int timeoutMs) {
    std::string buf;
    const long long end = nowNs() + timeoutMs * 1000000LL;
    while (nowNs() < end) {
        pollfd p{c.err, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char chunk[4096];
        const ssize_t n = read(c.err, chunk, sizeof chunk);
        if (n <= 0) return -1;
        buf.append(chunk, static_cast<size_t>(n));
        const size_t at = buf.find("shown ");
        if (at != std::string::npos && buf.find('\n', at) != std::string::npos)
            return std::atoll(buf.c_str() + at + 6);
    }
    return -1;
}

void finish(Child& c) {
    if (c.pid > 0) {
        kill(c.pid, SIGKILL);
        waitpid(c.pid, nullptr, 0);
    }
    if (c.err >= 0) close(c.err);
    c = {};
}

// utime + stime in clock ticks.
long long cpuTicks(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream rest(text.substr(close + 2));
    std::string field;
    long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14) utime = std::atoll(field.c_str());
        if (i == 15) stime = std::atoll(field.c_str());
    }
    return utime + stime;
}

long statusKb(pid_t pid, const char* key) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key) + 1);
    return -1;
}

int configReads(const qmt::sim::SimProcess& sim) {
    int n = 0;
    for (const std::string& line : sim.traceLines())
        n += line.rfind("< 01 03 01 08 00 07", 0) == 0;
    return n;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 10, idleSeconds = 60;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--runs")) runs = std::max(1, std::atoi(argv[i + 1]));
        if (!std::strcmp(argv[i], "--idle")) idleSeconds = std::max(0, std::atoi(argv[i + 1]));
    }

    // A folder of its own, so the build's settings file stays untouched.
    char tmpl[] = "/tmp/qmt-startup-XXXXXX";
    if (!mkdtemp(tmpl)) return 2;
    const std::string dir = tmpl;
    const std::string program = dir + "/QMT584_View";
    if (!copyFile(PROGRAM_FILE, program) || !copyFile(VORNLINK_FILE, dir + "/libvornlink.so")) {
        std::fprintf(stderr, "cannot copy the program into %s\n", dir.c_str());
        return 2;
    }

    qmt::sim::SimProcess sim;
    const std::string link = sim.start({"--baud", "19200", "--parity", "even"});
    if (link.empty()) {
        std::fprintf(stderr, "simulator: %s\n", sim.error().c_str());
        return 2;
    }
    std::ofstream(program + ".ini")
        << "[Port]\nName=" << link << "\nBaud=19200\nParity=2\n[Station]\nAddress=1\n";

    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const long long start = nowNs();
        Child c = spawnProgram(program, false);
        const long long shown = c.pid > 0 ? waitShown(c, 20000) : -1;
        finish(c);
        if (shown < 0) {
            std::fprintf(stderr, "run %d: the main window was not shown\n", i + 1);
            return 1;
        }
        ms.push_back((shown - start) / 1e6);
        std::printf("start-up run %2d: %7.1f ms\n", i + 1, ms.back());
    }
    std::vector<double> sorted = ms;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted.size() % 2
                              ? sorted[sorted.size() / 2]
                              : (sorted[sorted.size() / 2 - 1] + sorted[sorted.size() / 2]) / 2;
    std::printf("start-up: median %.1f ms (min %.1f, max %.1f) over %d runs; goal < 300 ms\n",
                median, sorted.front(), sorted.back(), runs);

    bool ok = median < 300;
    if (idleSeconds > 0) {
        Child c = spawnProgram(program, true);
        const int before = configReads(sim);
        bool up = false;
        for (int i = 0; i < 200 && !up; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            up = configReads(sim) > before;
        }
        if (!up) {
            std::fprintf(stderr, "idle: the program never read the configuration\n");
            finish(c);
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::seconds(1)); // past the first read
        const long long t0 = cpuTicks(c.pid);
        const long long w0 = nowNs();
        std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
        const long long t1 = cpuTicks(c.pid);
        const double wall = (nowNs() - w0) / 1e9;
        const double cpu = 100.0 * (t1 - t0) / sysconf(_SC_CLK_TCK) / wall;
        const long rss = statusKb(c.pid, "VmRSS:"), hwm = statusKb(c.pid, "VmHWM:");
        int polls = 0;
        for (const std::string& line : sim.traceLines())
            polls += line.rfind("< 01", 0) == 0;
        finish(c);
        std::printf("idle: %.2f %% of one core over %.0f s (%lld ticks); goal < 1 %%\n", cpu, wall,
                    t1 - t0);
        std::printf("memory: resident %.1f MB, peak %.1f MB; goal < 80 MB\n", rss / 1024.0,
                    hwm / 1024.0);
        std::printf("requests seen by the simulator in all: %d\n", polls);
        ok = ok && cpu < 1.0 && rss < 80 * 1024;
    }
    sim.stop();
    std::remove((program + ".ini").c_str());
    std::remove(program.c_str());
    std::remove((dir + "/libvornlink.so").c_str());
    rmdir(dir.c_str());
    std::printf(ok ? "all goals met\n" : "a goal was missed\n");
    return ok ? 0 : 1;
}
