#include "app/Server.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/LineSettings.h"

namespace qmt::sim {

namespace {

constexpr auto kTick = std::chrono::milliseconds(10);

} // namespace

Server::Server(Line& line, const SimOptions& options) : line_(line), opt_(options) {}

Server::~Server() {
    if (trace_) std::fclose(trace_);
    for (int fd : {master_, slave_, notify_})
        if (fd >= 0) ::close(fd);
    // Remove the link only while it still names this run's pty.
    char target[PATH_MAX];
    ssize_t n = ::readlink(opt_.link.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, n) == slavePath_) ::unlink(opt_.link.c_str());
}

bool Server::open(std::string& error) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    slavePath_ = ::ptsname(master_);
    // Our own descriptor on the slave, opened before any master can make the
    // port exclusive: it reads the master's line settings and keeps the pty
    // alive while masters come and go.
    slave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (slave_ < 0) {
        error = "cannot open " + slavePath_ + ": " + std::strerror(errno);
        return false;
    }
    makeRaw(slave_);
    // A master's exclusive flag outlives its descriptor while ours stays open;
    // clear it when a master closes so that it (without privileges) can reopen.
    notify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (notify_ >= 0 && ::inotify_add_watch(notify_, slavePath_.c_str(), IN_CLOSE) < 0) {
        ::close(notify_);
        notify_ = -1;
    }

    struct stat st;
    if (::lstat(opt_.link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            error = opt_.link + " exists and is not a symbolic link";
            return false;
        }
        ::unlink(opt_.link.c_str());
    }
    if (::symlink(slavePath_.c_str(), opt_.link.c_str()) != 0) {
        error = "cannot create link " + opt_.link + ": " + std::strerror(errno);
        return false;
    }

    if (!opt_.control.empty() && !control_.open(opt_.control, error)) return false;
    if (!opt_.trace.empty()) {
        trace_ = std::fopen(opt_.trace.c_str(), "a");
        if (!trace_) {
            error = "cannot open trace " + opt_.trace + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

void Server::clearExclusive() {
    inotify_event events[16];
    bool closed = false;
    while (::read(notify_, events, sizeof events) > 0)
        closed = true;
    if (closed) ::ioctl(slave_, TIOCNXCL);
}

void Server::readMaster(Clock::time_point now) {
    uint8_t buf[512];
    for (;;) {
        ssize_t n = ::read(master_, buf, sizeof buf);
        if (n <= 0) break;
        if (silent_) continue; // unplugged: nothing reaches the module
        rx_.insert(rx_.end(), buf, buf + n);
        lastRx_ = now;
    }
}

void Server::endOfRequest(Clock::time_point now) {
    std::vector<uint8_t> request;
    request.swap(rx_);
    traceFrame(trace_, '<', request);

    uint32_t baud = 0;
    uint8_t parity = 0;
    if (!readLineSettings(slave_, baud, parity)) return;
    // At other settings the bytes arrive as noise.
    const Module* replying = nullptr;
    std::vector<uint8_t> reply = line_.reply(
        faults_, request,
        [baud, parity](const Module& m) { return baud == m.baud() && parity == m.parity(); },
        &replying);
    if (reply.empty()) return;
    const uint32_t replyBaud = replying->baud();
    if (faults_.crc > 0) {
        --faults_.crc;
        reply.back() ^= 0x5A;
    }
    traceFrame(trace_, '>', reply);

    const auto chr = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(charSeconds(replyBaud)));
    auto due = now + std::chrono::milliseconds(opt_.turnaroundMs + faults_.delayMs);
    tx_.clear();
    txNext_ = 0;
    const size_t half = reply.size() / 2;
    for (size_t i = 0; i < reply.size(); ++i) {
        if (faults_.splitMs > 0 && i == half) due += std::chrono::milliseconds(faults_.splitMs);
        if (opt_.pace) due += chr; // a byte is there once its last bit has left
        tx_.push_back({reply[i], due});
    }
}

void Server::sendDue(Clock::time_point now) {
    uint8_t buf[512];
    size_t n = 0;
    while (txNext_ < tx_.size() && tx_[txNext_].due <= now && n < sizeof buf)
        buf[n++] = tx_[txNext_++].byte;
    if (n == 0) return;
    // A full buffer means no one is reading: the bytes are lost, as on a wire.
    ssize_t w = ::write(master_, buf, n);
    (void)w;
    if (txNext_ == tx_.size()) {
        tx_.clear();
        txNext_ = 0;
    }
}

void Server::run(volatile std::sig_atomic_t& stop) {
    sigset_t old = blockStopSignals();

    auto lastTick = Clock::now();
    while (!stop) {
        const auto now = Clock::now();
        const double charTime = charSeconds(line_.module(0).baud());
        const auto silence = std::max<Clock::duration>(
            std::chrono::milliseconds(2), std::chrono::duration_cast<Clock::duration>(
                                              std::chrono::duration<double>(3.5 * charTime)));

        auto next = lastTick + kTick;
        if (!rx_.empty()) next = std::min(next, lastRx_ + silence);
        if (txNext_ < tx_.size()) next = std::min(next, tx_[txNext_].due);
        auto wait = std::max<Clock::duration>(Clock::duration::zero(), next - now);
        auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
        timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};

        pollfd fds[3] = {{master_, POLLIN, 0}, {control_.fd(), POLLIN, 0}, {notify_, POLLIN, 0}};
        int r = ::ppoll(fds, 3, &ts, &old); // signals get through only while waiting
        if (r < 0 && errno != EINTR) break;
        const auto t = Clock::now();
        if (notify_ >= 0 && (fds[2].revents & POLLIN)) clearExclusive();
        if (control_.fd() >= 0 && (fds[1].revents & POLLIN)) {
            ControlState st{line_.module(0), faults_, silent_, &line_};
            control_.read(st);
        }
        if (fds[0].revents & POLLIN) readMaster(t);
        if (!rx_.empty() && t - lastRx_ >= silence) endOfRequest(t);
        sendDue(Clock::now());
        if (t - lastTick >= kTick) {
            double dt = std::chrono::duration<double>(t - lastTick).count();
            line_.advance(std::min(dt, 0.5) * opt_.timeScale); // a stalled process does not jump ahead
            lastTick = t;
        }
    }
    sigprocmask(SIG_SETMASK, &old, nullptr);
}

} // namespace qmt::sim
