#include "testing/SimProcess.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace qmt::sim {

namespace {

bool hasOption(const std::vector<std::string>& args, const std::string& opt, std::string* value) {
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == opt) {
            *value = args[i + 1];
            return true;
        }
    return false;
}

} // namespace

SimProcess::~SimProcess() {
    stop();
    cleanUp();
}

std::string SimProcess::executable() {
    if (const char* env = std::getenv("QMT584_SIM"); env && *env) return env;
    char self[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "qmt584-sim";
    std::string path(self, n);
    return path.substr(0, path.rfind('/') + 1) + "qmt584-sim";
}

std::string SimProcess::start(const std::vector<std::string>& given) {
    if (running()) {
        error_ = "already running";
        return {};
    }
    error_.clear();
    cleanUp();
    char tmpl[] = "/tmp/qmt584-sim.XXXXXX";
    if (!::mkdtemp(tmpl)) {
        error_ = std::string("mkdtemp: ") + std::strerror(errno);
        return {};
    }
    dir_ = tmpl;
    std::vector<std::string> args = given;
    std::string tcp;
    const bool network = hasOption(args, "--tcp", &tcp);
    if (!network && !hasOption(args, "--link", &link_)) {
        link_ = dir_ + "/tty";
        args.insert(args.end(), {"--link", link_});
    }
    if (!hasOption(args, "--control", &control_)) {
        control_ = dir_ + "/control";
        args.insert(args.end(), {"--control", control_});
    }
    if (!hasOption(args, "--trace", &trace_)) {
        trace_ = dir_ + "/trace";
        args.insert(args.end(), {"--trace", trace_});
    }

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        return {};
    }
    const std::string exe = executable();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(exe.c_str()));
    for (auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::execv(exe.c_str(), argv.data());
        std::_Exit(127);
    }
    ::close(out[1]);
    if (pid_ < 0) {
        ::close(out[0]);
        error_ = std::string("fork: ") + std::strerror(errno);
        return {};
    }
    outFd_ = out[0];
    eof_ = false;
    lines_.clear();
    reader_ = std::thread([this, fd = outFd_] { readOutput(fd); });

    std::string ready;
    if (!waitLine("ready ", 5000, &ready)) {
        error_ = "qmt584-sim (" + exe + ") did not get ready";
        stop();
        return {};
    }
    slave_ = ready.substr(6);
    return network ? slave_ : link_;
}

void SimProcess::readOutput(int fd) {
    std::string partial;
    char buf[512];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        partial.append(buf, n);
        size_t eol;
        while ((eol = partial.find('\n')) != std::string::npos) {
            std::lock_guard<std::mutex> lock(mutex_);
            lines_.push_back(partial.substr(0, eol));
            partial.erase(0, eol + 1);
            cv_.notify_all();
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    eof_ = true;
    cv_.notify_all();
}

bool SimProcess::waitLine(const std::string& prefix, int timeoutMs, std::string* line) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        for (auto it = lines_.begin(); it != lines_.end(); ++it)
            if (it->compare(0, prefix.size(), prefix) == 0) {
                if (line) *line = *it;
                lines_.erase(lines_.begin(), it + 1);
                return true;
            }
        if (eof_ || cv_.wait_until(lock, deadline) == std::cv_status::timeout) return false;
    }
}

bool SimProcess::sendControl(const std::string& line, std::string* answer) {
    if (!running() || control_.empty()) return false;
    int fd = ::open(control_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    std::string text = line + "\n";
    bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    if (!written) return false;
    // The simulator acknowledges each command with "ok LINE" or "bad LINE".
    std::string ack;
    for (;;) {
        if (!waitLine("", 3000, &ack)) return false;
        if (ack == "ok " + line) return true;
        if (ack == "bad " + line) return false;
        if (answer) *answer = ack;
    }
}

int SimProcess::stop() {
    int result = -1;
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        pid_t r;
        while ((r = ::waitpid(pid_, &status, WNOHANG)) == 0 &&
               std::chrono::steady_clock::now() < deadline)
            ::usleep(5000);
        if (r == 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
        } else if (r == pid_ && WIFEXITED(status)) {
            result = WEXITSTATUS(status);
        }
        pid_ = -1;
    }
    if (reader_.joinable()) reader_.join();
    if (outFd_ >= 0) {
        ::close(outFd_);
        outFd_ = -1;
    }
    return result;
}

void SimProcess::cleanUp() {
    if (dir_.empty()) return;
    // Only what this object made up lives in its folder.
    for (const char* name : {"/tty", "/control", "/trace"})
        ::unlink((dir_ + name).c_str());
    ::rmdir(dir_.c_str());
    dir_.clear();
}

std::vector<std::string> SimProcess::traceLines() const {
    std::vector<std::string> out;
    std::ifstream in(trace_);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

std::map<std::string, double> SimProcess::dump() {
    std::map<std::string, double> out;
    const std::string file = dir_ + "/dump.txt";
    if (dir_.empty() || !sendControl("dump " + file)) return out;
    std::ifstream in(file);
    std::string line, name;
    double value = 0;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        if (words >> name >> value) out[name] = value;
    }
    return out;
}

long SimProcess::registerValue(int address) {
    const auto image = dump();
    const auto it = image.find(std::to_string(address));
    return it == image.end() ? -1 : static_cast<long>(it->second);
}

} // namespace qmt::sim
