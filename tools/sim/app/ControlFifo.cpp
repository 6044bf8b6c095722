#include "app/ControlFifo.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qmt::sim {

ControlFifo::~ControlFifo() {
    if (fd_ < 0) return;
    ::close(fd_);
    ::unlink(path_.c_str());
}

bool ControlFifo::open(const std::string& path, std::string& error) {
    path_ = path;
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) ::unlink(path.c_str());
    if (::mkfifo(path.c_str(), 0600) != 0) {
        error = "cannot create FIFO " + path + ": " + std::strerror(errno);
        return false;
    }
    // Read and write, so the last writer closing never means end of file.
    fd_ = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        error = "cannot open FIFO " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void ControlFifo::read(ControlState& state) {
    char chunk[1024];
    for (ssize_t n; (n = ::read(fd_, chunk, sizeof chunk)) > 0;)
        buf_.append(chunk, n);
    size_t eol;
    while ((eol = buf_.find('\n')) != std::string::npos) {
        std::string line = buf_.substr(0, eol);
        buf_.erase(0, eol + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        std::string printed;
        std::string err = runControl(line, state, &printed);
        if (!err.empty())
            std::fprintf(stderr, "qmt584-sim: control '%s': %s\n", line.c_str(), err.c_str());
        if (!printed.empty()) std::printf("%s\n", printed.c_str());
        // acknowledgement for whoever drives the simulator
        std::printf("%s %s\n", err.empty() ? "ok" : "bad", line.c_str());
        std::fflush(stdout);
    }
}

void traceFrame(FILE* trace, char dir, const std::vector<uint8_t>& bytes) {
    if (!trace) return;
    std::string line(1, dir);
    char hex[4];
    for (uint8_t b : bytes) {
        std::snprintf(hex, sizeof hex, " %02X", b);
        line += hex;
    }
    line += '\n';
    std::fputs(line.c_str(), trace);
    std::fflush(trace);
}

sigset_t blockStopSignals() {
    sigset_t blocked, old;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGINT);
    sigprocmask(SIG_BLOCK, &blocked, &old);
    return old;
}

} // namespace qmt::sim
