// Random replies through invoke_modb, with the library's protocol code compiled
// in and its port layer replaced by a scripted one: whatever arrives, the call
// returns a known status, never touches memory around the caller's buffer, and
// never changes data it only reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "frame_crc.h"
#include "function_codes.h"
#include "scripted_port.h"

namespace {

using namespace vltest;

// The scripted port: one reply per request, nothing timed.
struct FakePort {
    Bytes reply;
    bool readFails = false;
} port;

// splitmix64: the same sequence everywhere, so every failure can be replayed.
struct Random {
    uint64_t state;
    uint64_t next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    unsigned below(unsigned n) { return static_cast<unsigned>(next() % n); }
    uint8_t byte() { return static_cast<uint8_t>(next()); }
};

void appendCrc(Bytes& f) {
    uint16_t c = vltest::crc16(f.data(), f.size());
    f.push_back(c & 0xFF);
    f.push_back(c >> 8);
}

// Mostly replies shaped like the real ones (right station and function, a
// byte count, a correct CRC) so the checks behind the CRC get reached too.
Bytes randomReply(Random& rnd, uint8_t station, uint8_t function, uint16_t count) {
    Bytes f;
    unsigned shape = rnd.below(6);
    if (shape == 0) { // noise of any length
        f.resize(rnd.below(301));
        for (uint8_t& b : f)
            b = rnd.byte();
        return f;
    }
    f.push_back(rnd.below(8) ? station : rnd.byte());
    uint8_t fn = rnd.below(8) ? function : rnd.byte();
    if (shape == 1) fn |= 0x80;
    f.push_back(fn);
    if (shape == 1) {
        f.push_back(rnd.below(4) ? rnd.byte() : 0);
    } else if (shape == 2 && (function == 5 || function == 6 || function == 15 || function == 16)) {
        f.push_back(static_cast<uint8_t>(rnd.next()));
        f.push_back(static_cast<uint8_t>(rnd.next()));
        f.push_back(static_cast<uint8_t>(count >> 8));
        f.push_back(static_cast<uint8_t>(count));
    } else {
        unsigned want = function <= 2 ? (count + 7u) / 8 : 2u * count;
        unsigned n = rnd.below(3) ? want : rnd.below(256);
        f.push_back(static_cast<uint8_t>(n));
        size_t data = rnd.below(4) ? n : rnd.below(300);
        for (size_t i = 0; i < data; i++)
            f.push_back(rnd.byte());
    }
    if (rnd.below(6)) appendCrc(f);
    if (f.size() > 300) f.resize(300);
    if (rnd.below(10) == 0 && !f.empty()) f[rnd.below(static_cast<unsigned>(f.size()))] ^= 0x10;
    return f;
}

} // namespace

extern "C" {
int vl_port_recv(uint8_t* buf, size_t max) {
    if (port.readFails) return -1;
    size_t n = std::min(port.reply.size(), max);
    std::copy(port.reply.begin(), port.reply.begin() + n, buf);
    return static_cast<int>(n);
}
}

TEST(ReplyFuzz, AnyReplyGivesAKnownStatusAndStaysInsideTheBuffer) {
    constexpr size_t kGuard = 64;
    constexpr uint8_t kGuardByte = 0xA5;
    Random rnd{20240611};
    int seen[256] = {};

    for (int round = 0; round < 6000; round++) {
        SCOPED_TRACE(round);
        uint8_t station = rnd.below(4) ? 1 : rnd.byte();
        uint8_t function = rnd.below(20) ? kFunctions[rnd.below(8)] : rnd.byte();
        uint16_t count;
        switch (rnd.below(4)) {
        case 0:
            count = static_cast<uint16_t>(rnd.next());
            break;
        case 1:
            count = static_cast<uint16_t>(rnd.below(2100));
            break;
        default:
            count = static_cast<uint16_t>(rnd.below(130));
        }
        uint16_t address = static_cast<uint16_t>(rnd.next());

        size_t bytes = bufferBytes(function, count);
        // An odd start keeps word access honest about alignment.
        size_t start = kGuard + 1;
        std::vector<uint8_t> arena(start + bytes + kGuard, kGuardByte);
        uint8_t* data = arena.data() + start;
        for (size_t i = 0; i < bytes; i++)
            data[i] = rnd.byte();
        std::vector<uint8_t> before(arena);

        sent.clear();
        port.readFails = rnd.below(30) == 0;
        port.reply = randomReply(rnd, station, function, count);

        int32_t status = invoke_modb(station, function, address, count, data);
        seen[status & 0xFF]++;

        ASSERT_GE(status, 0);
        ASSERT_LE(status, 255);
        if (!libraryCode(status)) {
            // Anything else can only be a module's exception code, passed on.
            ASSERT_GE(port.reply.size(), 3u);
            ASSERT_TRUE(port.reply[1] & 0x80);
            ASSERT_EQ(port.reply[2], status);
        }
        for (size_t i = 0; i < start; i++)
            ASSERT_EQ(arena[i], kGuardByte) << "written before the buffer";
        for (size_t i = start + bytes; i < arena.size(); i++)
            ASSERT_EQ(arena[i], kGuardByte) << "written past the buffer";

        bool reads = function >= 1 && function <= 4;
        if (!reads || status != 0) {
            ASSERT_EQ(arena, before) << "the buffer changed without a successful read";
        }

        bool supported = std::find(std::begin(kFunctions), std::end(kFunctions), function) !=
                         std::end(kFunctions);
        if (!supported) {
            ASSERT_EQ(status, 15);
            ASSERT_TRUE(sent.empty());
        } else if (sent.empty()) {
            // Only a block too big for one frame stays unsent.
            ASSERT_EQ(status, 16);
            ASSERT_TRUE(function == 15 || function == 16);
            ASSERT_GT(9 + bytes, 256u);
        } else {
            // One request, whose CRC (over at most 255 bytes) is right.
            ASSERT_EQ(sent.size(), 1u);
            const Bytes& req = sent[0];
            ASSERT_GE(req.size(), 8u);
            ASSERT_LE(req.size(), 256u);
            uint16_t c = vltest::crc16(req.data(), req.size() - 2);
            ASSERT_EQ(req[req.size() - 2], c & 0xFF);
            ASSERT_EQ(req[req.size() - 1], c >> 8);
            ASSERT_EQ(req[0], station);
            ASSERT_EQ(req[1], function);
        }
    }
    // The generator must reach the deep paths, not just bounce off the CRC.
    EXPECT_GT(seen[0], 100);
    EXPECT_GT(seen[17], 100);
    EXPECT_GT(seen[23], 20);
    for (int code : {14, 18, 19, 20, 21, 22, 25})
        EXPECT_GT(seen[code], 0) << code;
}
