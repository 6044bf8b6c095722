#include "pty_module.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

#include "vornlink.h"

namespace vltest {

Bytes withCrc(Bytes frame) {
    uint16_t crc = crc16(frame.data(), frame.size());
    frame.push_back(crc & 0xFF);
    frame.push_back(crc >> 8);
    return frame;
}

Bytes hex(const char* text) {
    Bytes out;
    char* end = nullptr;
    for (const char* p = text; *p;) {
        unsigned long v = strtoul(p, &end, 16);
        if (end == p) break;
        out.push_back(static_cast<uint8_t>(v));
        p = end;
    }
    return out;
}

void releasePort() {
    // Opening a path that cannot exist closes whatever the library holds.
    init_comm("/nonexistent/vornlink-test", 9600, 0);
}

PtyModule::PtyModule() {
    thread_ = std::thread([this] { run(); });
}

PtyModule::~PtyModule() {
    stop_ = true;
    thread_.join();
}

void PtyModule::serve(Handler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    handler_ = std::move(handler);
}

void PtyModule::reply(Script script) {
    serve([script](const Bytes&, const LineState&) { return script; });
}

std::vector<Bytes> PtyModule::requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void PtyModule::clearRequests() {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
}

void PtyModule::waitIdle() {
    std::unique_lock<std::mutex> lock(mutex_);
    idleCv_.wait(lock, [this] { return !busy_; });
}

void PtyModule::run() {
    uint8_t buf[512];
    while (!stop_) {
        struct pollfd p = {pty_.master, POLLIN, 0};
        if (poll(&p, 1, 10) <= 0 || !(p.revents & POLLIN)) continue;
        Bytes request;
        // A request is written in one piece; a few quiet milliseconds end it.
        for (;;) {
            ssize_t n = read(pty_.master, buf, sizeof buf);
            if (n <= 0) break;
            request.insert(request.end(), buf, buf + n);
            if (poll(&p, 1, 5) <= 0 || !(p.revents & POLLIN)) break;
        }
        if (request.empty()) continue;
        Handler handler;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(request);
            handler = handler_;
            busy_ = true;
        }
        Script script = handler ? handler(request, readLine(pty_.slave)) : Script{};
        for (const Piece& piece : script) {
            if (piece.delayMs > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(piece.delayMs));
            if (!piece.bytes.empty() &&
                write(pty_.master, piece.bytes.data(), piece.bytes.size()) < 0)
                break;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            busy_ = false;
        }
        idleCv_.notify_all();
    }
}

} // namespace vltest
