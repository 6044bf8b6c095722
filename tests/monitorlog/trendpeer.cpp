// A stand-in trend viewer for the tests: speaks the pipe protocol on its
// standard input and output and records every frame it receives, one line of
// hex per frame, in <dir>/<pid>.frames.
//
//   trendpeer --dir D [--mode normal|silent|exit] [--after N] [--handle H] [--noreg]
//
// normal acknowledges every copy-data message; silent never does; exit ends
// the process after acknowledging N copy-data messages. The registration
// handle is H, or the process id.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

int logFd = -1;

// read or write until every byte has gone, through interruptions.
template <class Byte, class Io> bool whole(Io io, int fd, Byte* p, size_t size) {
    while (size > 0) {
        const ssize_t n = io(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool readAll(void* data, size_t size) {
    return whole(::read, STDIN_FILENO, static_cast<char*>(data), size);
}

bool writeAll(const void* data, size_t size) {
    return whole(::write, STDOUT_FILENO, static_cast<const char*>(data), size);
}

void putU32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}
uint32_t getU32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void record(const std::string& body) {
    static const char* hex = "0123456789abcdef";
    std::string line;
    for (unsigned char c : body) {
        line += hex[c >> 4];
        line += hex[c & 15];
    }
    line += '\n';
    if (write(logFd, line.data(), line.size()) < 0) _exit(3);
}

} // namespace

int main(int argc, char** argv) {
    std::string dir = ".", mode = "normal";
    long after = 0;
    uint32_t handle = static_cast<uint32_t>(getpid());
    bool registers = true;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : "";
        if (a == "--dir")
            dir = next, ++i;
        else if (a == "--mode")
            mode = next, ++i;
        else if (a == "--after")
            after = std::atol(next), ++i;
        else if (a == "--handle")
            handle = static_cast<uint32_t>(std::strtoul(next, nullptr, 0)), ++i;
        else if (a == "--noreg")
            registers = false;
    }
    const std::string path = dir + "/" + std::to_string(getpid()) + ".frames";
    logFd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644);
    if (logFd < 0) return 2;

    long copies = 0;
    for (;;) {
        unsigned char len[4];
        if (!readAll(len, 4)) return 0; // the program closed our input
        const uint32_t n = getU32(len);
        if (n > (1u << 20)) return 4;
        std::string body(n, '\0');
        if (!readAll(&body[0], n)) return 0;
        record(body);
        if (n == 9 && body[0] == 'P' && registers) {
            unsigned char reply[13] = {9, 0, 0, 0, 'P'};
            putU32(reply + 5, 0x0400);
            putU32(reply + 9, handle);
            if (!writeAll(reply, sizeof reply)) return 0;
        } else if (n >= 5 && body[0] == 'C') {
            ++copies;
            if (mode == "silent") continue;
            const unsigned char ack[5] = {1, 0, 0, 0, 'A'};
            if (!writeAll(ack, sizeof ack)) return 0;
            if (mode == "exit" && copies >= after) return 0;
        }
    }
}
