#include "ViewerProcess.h"

#include "common/TrendProtocol.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace curvix::test {

ViewerProcess::ViewerProcess() {
    std::signal(SIGPIPE, SIG_IGN);
    char pattern[] = "/tmp/curvix-test-XXXXXX";
    if (mkdtemp(pattern)) folder_ = pattern;
    dump_ = folder_ + "/dump.txt";
}

ViewerProcess::~ViewerProcess() {
    if (toViewer_ >= 0) ::close(toViewer_);
    if (fromViewer_ >= 0) ::close(fromViewer_);
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status;
        for (int i = 0; i < 100 && ::waitpid(pid_, &status, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (::waitpid(pid_, &status, WNOHANG) == 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
        }
    }
    // The dump and the viewer's settings (curvix/curvix.ini).
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

bool ViewerProcess::start(const std::vector<std::string>& args) {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return false;
    pid_ = ::fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("CURVIX_DUMP", dump_.c_str(), 1);
        // Its settings stay in the test's folder, not the user's.
        ::setenv("XDG_CONFIG_HOME", folder_.c_str(), 1);
        std::vector<char*> argv{const_cast<char*>(CURVIX_FILE)};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(CURVIX_FILE, argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    toViewer_ = in[1];
    fromViewer_ = out[0];
    return true;
}

bool ViewerProcess::write(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(toViewer_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += std::size_t(n);
    }
    return true;
}

bool ViewerProcess::readFrame(std::string& payload, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (pending_.size() >= 4) {
            uint32_t n;
            std::memcpy(&n, pending_.data(), 4);
            if (pending_.size() >= 4 + n) {
                payload = pending_.substr(4, n);
                pending_.erase(0, 4 + n);
                return true;
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) return false;
        pollfd fd{fromViewer_, POLLIN, 0};
        if (::poll(&fd, 1, int(left)) <= 0) continue;
        char buffer[4096];
        const ssize_t n = ::read(fromViewer_, buffer, sizeof buffer);
        if (n <= 0) return false;
        pending_.append(buffer, std::size_t(n));
    }
}

bool ViewerProcess::silent(int waitMs) {
    std::string payload;
    return !readFrame(payload, waitMs);
}

void ViewerProcess::closeInput() {
    ::close(toViewer_);
    toViewer_ = -1;
}

void ViewerProcess::closeOutput() {
    ::close(fromViewer_);
    fromViewer_ = -1;
}

bool ViewerProcess::alive() {
    int status;
    return pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == 0;
}

uint32_t ViewerProcess::handshake() {
    if (!write(threadFrame(4242))) return 0;
    std::string reply;
    if (!readFrame(reply) || reply.size() != 9 || reply[0] != 'P') return 0;
    uint32_t code, token;
    std::memcpy(&code, reply.data() + 1, 4);
    std::memcpy(&token, reply.data() + 5, 4);
    return code == kUserMessage ? token : 0;
}

bool ViewerProcess::deliver(uint32_t token, const std::string& record) {
    std::string reply;
    return write(copyDataFrame(token, record)) && readFrame(reply) && reply == "A";
}

std::vector<std::string> ViewerProcess::dumpLines() const {
    std::vector<std::string> lines;
    std::ifstream in(dump_);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool ViewerProcess::waitFor(const std::string& prefix, int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        for (const std::string& line : dumpLines())
            if (line.compare(0, prefix.size(), prefix) == 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

} // namespace curvix::test
