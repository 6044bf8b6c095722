// A scripted module on the master side of a pseudo-terminal: the library under
// test opens the slave path, the module thread reads each request and answers
// with scripted pieces.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "frame_crc.h"
#include "raw_pty.h"

namespace vltest {

using Bytes = std::vector<uint8_t>;

struct LineState {
    uint32_t baud = 0;
    int parity = -1; // 0 none, 1 odd, 2 even, told apart by CSTOPB and PARODD
    int stopBits = 0;
    bool dataBits8 = false;
    bool raw = false;
    bool inpck = false;
    bool noFlowControl = false;
    bool local = false;
};

LineState readLine(int fd);

// One piece of a reply, written after a pause.
struct Piece {
    Bytes bytes;
    int delayMs = 0;
};
using Script = std::vector<Piece>;

// Decides the answer to one request; an empty script keeps the module silent.
using Handler = std::function<Script(const Bytes& request, const LineState& line)>;

Bytes withCrc(Bytes frame);
Bytes hex(const char* text); // "01 03 04" -> bytes

class PtyModule {
public:
    PtyModule();
    ~PtyModule();
    PtyModule(const PtyModule&) = delete;
    PtyModule& operator=(const PtyModule&) = delete;

    const std::string& path() const { return pty_.path; }
    int masterFd() const { return pty_.master; }
    LineState line() const { return readLine(pty_.slave); }

    void serve(Handler handler);
    void reply(Script script); // the same answer to every request
    void replyBytes(const Bytes& bytes) { reply({{bytes, 0}}); }
    void silent() { reply({}); }

    std::vector<Bytes> requests();
    void clearRequests();
    // Blocks until every answer begun so far has been written out.
    void waitIdle();

private:
    void run();

    RawPty pty_;
    std::mutex mutex_;
    std::condition_variable idleCv_;
    bool busy_ = false;
    Handler handler_;
    std::vector<Bytes> requests_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Makes the library let go of the port it holds.
void releasePort();

} // namespace vltest
