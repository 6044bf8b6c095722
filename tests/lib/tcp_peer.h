// A scripted gateway on a loopback address: every accepted connection is
// handed to the test's script, one connection at a time, on a thread.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace vltest {

using Bytes = std::vector<uint8_t>;

class TcpPeer {
public:
    using Script = std::function<void(TcpPeer& peer, int conn)>;

    // receiveBuffer > 0 shrinks the peer's receive window, so a peer that
    // stops reading soon leaves the library's requests nowhere to go.
    explicit TcpPeer(Script script, bool v6 = false, int receiveBuffer = 0)
        : script_(std::move(script)) {
        fd_ = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (receiveBuffer > 0)
            ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_storage a{};
        socklen_t size;
        if (v6) {
            auto* s = reinterpret_cast<sockaddr_in6*>(&a);
            s->sin6_family = AF_INET6;
            s->sin6_addr = in6addr_loopback;
            size = sizeof *s;
        } else {
            auto* s = reinterpret_cast<sockaddr_in*>(&a);
            s->sin_family = AF_INET;
            s->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            size = sizeof *s;
        }
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&a), size) == 0 && ::listen(fd_, 4) == 0 &&
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size) == 0)
            port_ = ntohs(v6 ? reinterpret_cast<sockaddr_in6*>(&a)->sin6_port
                             : reinterpret_cast<sockaddr_in*>(&a)->sin_port);
        thread_ = std::thread([this] { run(); });
    }
    ~TcpPeer() {
        stop_ = true;
        thread_.join();
        ::close(fd_);
    }

    int port() const { return port_; }
    bool stopping() const { return stop_; }
    int connections() const { return connections_; }
    // Another connection waits to be accepted: the library has made a new one.
    bool pending() const {
        pollfd p{fd_, POLLIN, 0};
        return ::poll(&p, 1, 0) > 0;
    }

    // The next request: whatever arrives within timeoutMs, then 10 ms of quiet.
    Bytes request(int conn, int timeoutMs = 2000) {
        Bytes got;
        uint8_t buf[512];
        int wait = timeoutMs;
        for (;;) {
            pollfd p{conn, POLLIN, 0};
            if (::poll(&p, 1, wait) <= 0) return got;
            ssize_t n = ::recv(conn, buf, sizeof buf, 0);
            if (n <= 0) return got;
            got.insert(got.end(), buf, buf + n);
            wait = 10;
        }
    }
    static void send(int conn, const Bytes& bytes) {
        ssize_t n = ::send(conn, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        (void)n;
    }
    static void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    // Holds the connection open, answering nothing, until the peer stops.
    void stayQuiet(int conn) {
        while (!stop_) {
            request(conn, 20);
            pause(1);
        }
    }

private:
    void run() {
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0) continue;
            int conn = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (conn < 0) continue;
            ++connections_;
            script_(*this, conn);
            ::close(conn);
        }
    }

    Script script_;
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::thread thread_;
};

} // namespace vltest
