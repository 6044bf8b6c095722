#include "app/TcpServer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qmt::sim {

namespace {

constexpr auto kTick = std::chrono::milliseconds(10);
// A request of a function whose length the server cannot tell ends here.
constexpr auto kSilence = std::chrono::milliseconds(5);
constexpr size_t kMbapPrefix = 6; // transaction id, protocol id, length
constexpr unsigned kMbapLengthMax = 254;

std::string formatAddress(const sockaddr_storage& a) {
    char host[NI_MAXHOST], port[NI_MAXSERV];
    if (::getnameinfo(reinterpret_cast<const sockaddr*>(&a), sizeof a, host, sizeof host, port,
                      sizeof port, NI_NUMERICHOST | NI_NUMERICSERV) != 0)
        return "?";
    return a.ss_family == AF_INET6 ? "[" + std::string(host) + "]:" + port
                                   : std::string(host) + ":" + port;
}

} // namespace

bool splitHostPort(const std::string& text, std::string& host, std::string& port) {
    size_t colon;
    if (!text.empty() && text[0] == '[') {
        size_t end = text.find(']');
        if (end == std::string::npos || end + 1 >= text.size() || text[end + 1] != ':')
            return false;
        host = text.substr(1, end - 1);
        colon = end + 1;
    } else {
        colon = text.find(':');
        if (colon == std::string::npos || text.find(':', colon + 1) != std::string::npos)
            return false;
        host = text.substr(0, colon);
    }
    port = text.substr(colon + 1);
    if (host.empty() || port.empty() || port.size() > 5) return false;
    for (char c : port)
        if (c < '0' || c > '9') return false;
    return std::stoul(port) <= 65535;
}

TcpServer::TcpServer(Line& line, const SimOptions& options) : line_(line), opt_(options) {}

TcpServer::~TcpServer() {
    if (trace_) std::fclose(trace_);
    for (int fd : {listen_, client_})
        if (fd >= 0) ::close(fd);
}

bool TcpServer::open(std::string& error) {
    std::string host, port;
    if (!splitHostPort(opt_.tcp, host, port)) {
        error = "bad address " + opt_.tcp;
        return false;
    }
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
    addrinfo* list = nullptr;
    if (int rc = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &list); rc != 0) {
        error = "bad address " + opt_.tcp + ": " + ::gai_strerror(rc);
        return false;
    }
    listen_ = ::socket(list->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    int one = 1;
    if (listen_ >= 0) ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    bool ok = listen_ >= 0 && ::bind(listen_, list->ai_addr, list->ai_addrlen) == 0 &&
              ::listen(listen_, 4) == 0;
    ::freeaddrinfo(list);
    if (!ok) {
        error = "cannot listen on " + opt_.tcp + ": " + std::strerror(errno);
        return false;
    }
    sockaddr_storage bound{};
    socklen_t size = sizeof bound;
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&bound), &size);
    address_ = formatAddress(bound);

    if (!opt_.control.empty() && !control_.open(opt_.control, error)) return false;
    if (!opt_.trace.empty() && !(trace_ = std::fopen(opt_.trace.c_str(), "a"))) {
        error = "cannot open trace " + opt_.trace + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void TcpServer::acceptClient() {
    client_ = ::accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (client_ < 0) return;
    int one = 1;
    ::setsockopt(client_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    rx_.clear();
    tx_.clear();
}

void TcpServer::closeClient() {
    if (client_ >= 0) ::close(client_);
    client_ = -1;
    rx_.clear();
    tx_.clear();
}

void TcpServer::readClient(Clock::time_point now) {
    uint8_t buf[512];
    for (;;) {
        ssize_t n = ::recv(client_, buf, sizeof buf, 0);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            closeClient(); // the master left; the next one may come
            return;
        }
        if (silent_) continue; // the gateway's line is cut: nothing reaches the module
        rx_.insert(rx_.end(), buf, buf + n);
        lastRx_ = now;
    }
}

size_t TcpServer::requestLength() const {
    if (opt_.mbap) {
        if (rx_.size() < kMbapPrefix) return 0;
        return kMbapPrefix + (static_cast<unsigned>(rx_[4]) << 8 | rx_[5]);
    }
    if (rx_.size() < 2) return 0;
    switch (rx_[1]) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6: // clang-format off
        return 8; // clang-format on
    case 15:
    case 16:
        return rx_.size() < 7 ? 0 : 9 + rx_[6];
    case 0xFF:
        return 9; // the module search's probe
    default:
        return 0;
    }
}

void TcpServer::answer(std::vector<uint8_t> request, const uint8_t* mbapHead,
                       Clock::time_point now) {
    if (mbapHead) { // the gateway adds the CRC its line needs
        uint16_t crc = crc16(request.data(), request.size());
        request.push_back(crc & 0xFF);
        request.push_back(crc >> 8);
    }
    traceFrame(trace_, '<', request);
    std::vector<uint8_t> reply = line_.reply(faults_, request);
    const bool drop = faults_.drops > 0;
    if (drop) --faults_.drops;
    if (reply.empty()) {
        if (drop) closeClient();
        return;
    }
    if (faults_.crc > 0) {
        --faults_.crc;
        reply.back() ^= 0x5A;
        // A Modbus TCP gateway checks the line's CRC and passes nothing on.
        if (mbapHead) reply.clear();
    }
    if (!reply.empty()) traceFrame(trace_, '>', reply);
    if (mbapHead && !reply.empty()) {
        reply.resize(reply.size() - 2);
        const size_t length = reply.size();
        uint8_t head[kMbapPrefix] = {mbapHead[0],
                                     mbapHead[1],
                                     0,
                                     0,
                                     static_cast<uint8_t>(length >> 8),
                                     static_cast<uint8_t>(length)};
        reply.insert(reply.begin(), head, head + kMbapPrefix);
    }
    // As on the line, a new request ends a reply still waiting to go.
    tx_.clear();
    auto due = now + std::chrono::milliseconds(opt_.turnaroundMs + faults_.delayMs);
    const size_t half = reply.size() / 2;
    if (drop) { // the connection breaks in the middle of the reply
        tx_.push_back({{reply.begin(), reply.begin() + half}, due, true});
    } else if (faults_.splitMs > 0 && half > 0) {
        tx_.push_back({{reply.begin(), reply.begin() + half}, due, false});
        tx_.push_back({{reply.begin() + half, reply.end()},
                       due + std::chrono::milliseconds(faults_.splitMs),
                       false});
    } else if (!reply.empty()) {
        tx_.push_back({reply, due, false});
    }
}

void TcpServer::sendDue(Clock::time_point now) {
    while (client_ >= 0 && !tx_.empty() && tx_.front().due <= now) {
        Segment s = std::move(tx_.front());
        tx_.erase(tx_.begin());
        // A master that stopped reading loses the reply, as on a wire.
        ssize_t w = ::send(client_, s.bytes.data(), s.bytes.size(), MSG_NOSIGNAL);
        (void)w;
        if (s.closeAfter) closeClient();
    }
}

void TcpServer::run(volatile std::sig_atomic_t& stop) {
    sigset_t old = blockStopSignals();

    auto lastTick = Clock::now();
    while (!stop) {
        const auto now = Clock::now();
        auto next = lastTick + kTick;
        if (!rx_.empty()) next = std::min(next, lastRx_ + kSilence);
        if (!tx_.empty()) next = std::min(next, tx_.front().due);
        auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                      std::max<Clock::duration>(Clock::duration::zero(), next - now))
                      .count();
        timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};

        // While a client is served the next one waits in the listen queue.
        pollfd fds[2] = {{client_ >= 0 ? client_ : listen_, POLLIN, 0}, {control_.fd(), POLLIN, 0}};
        int r = ::ppoll(fds, 2, &ts, &old);
        if (r < 0 && errno != EINTR) break;
        const auto t = Clock::now();
        if (control_.fd() >= 0 && (fds[1].revents & POLLIN)) {
            ControlState st{line_.module(0), faults_, silent_, &line_};
            control_.read(st);
        }
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            if (client_ >= 0)
                readClient(t);
            else
                acceptClient();
        }
        // Whole requests are answered as soon as they are in; one of unknown
        // length after a short silence.
        while (client_ >= 0 && !rx_.empty()) {
            size_t need = requestLength();
            if (opt_.mbap && need > 0 &&
                (need < kMbapPrefix + 2 || need > kMbapPrefix + kMbapLengthMax)) {
                closeClient(); // no Modbus TCP stream: its framing cannot be found again
                break;
            }
            if (need == 0 && !opt_.mbap && t - lastRx_ >= kSilence) need = rx_.size();
            if (need == 0 || rx_.size() < need) break;
            std::vector<uint8_t> request(rx_.begin(), rx_.begin() + need);
            rx_.erase(rx_.begin(), rx_.begin() + need);
            if (opt_.mbap)
                answer({request.begin() + kMbapPrefix, request.end()}, request.data(), t);
            else
                answer(std::move(request), nullptr, t);
        }
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
