// Any reply bytes into every function code of invoke_modb and into the module
// search, through a scripted port in place of the device, and through the
// network framings fed a scripted byte stream. Whatever comes back, the call
// returns a status the library may return, touches nothing outside the
// caller's buffer (AddressSanitizer sees every byte of it), changes the
// buffer only on a successful read and sends well-formed requests. Over the
// network, a connection that is kept always ends on a frame boundary (so no
// late or cut reply can pass for the next one), and a Modbus TCP reply that
// is accepted is the one stamped with its request's id.
//
// Input: byte 0 chooses the call (low nibble), the framing (bits 4-5: serial
// line, RTU over TCP, Modbus TCP) and whether the first read fails (bit 7);
// bit 6 makes a network peer close at the end of its bytes. A transaction
// takes station, address and count (5 bytes, a sixth for the function with
// call 8). On the serial line the rest is the one reply; over the network it
// is a segment size (0: whole pieces) and then pieces [flags][length][bytes]:
// flags bits 0-1 raw bytes, a Modbus TCP frame with the request's id, one
// with an earlier id, an RTU frame with its CRC; bit 2 shifts the length
// field by the signed high nibble; bit 3 holds the piece back until after the
// deadline, for a second transaction. A search takes version, serial and
// address (5 bytes) and then replies as [length][bytes], 255 a failed read.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <sched.h>
#include <sys/resource.h>

extern "C" {
#include "net_int.h"
}

#include "frame_crc.h"
#include "function_codes.h"
#include "scripted_port.h"

namespace {

using namespace vltest;

struct Script {
    std::vector<Bytes> replies; // one per read; a missing one is silence
    std::vector<bool> fails;
    size_t next = 0;
} port;

// The network peer: the bytes it has sent so far and those it holds back.
struct Stream {
    int framing = 0; // 0 the serial line, 1 RTU frames, 2 Modbus TCP
    bool closes = false;
    size_t segment = 0;
    Bytes now, late;
    size_t at = 0;   // next byte of now to deliver
    Bytes delivered; // what this connection delivered since the last read began
    bool dropped = false;
    uint16_t id = 0; // of the request being answered
    Bytes returned;  // the frame the last read handed up
} net;

void check(bool ok) {
    if (!ok) abort();
}

void checkRequest(const Bytes& req) {
    check(req.size() >= 4 && req.size() <= VL_FRAME_MAX);
    const uint16_t c = vltest::crc16(req.data(), req.size() - 2);
    check(req[req.size() - 2] == (c & 0xFF) && req[req.size() - 1] == (c >> 8));
}

// The frames a Modbus TCP peer delivered, by their length fields; false when
// they do not end on a frame's end.
bool splitFrames(const Bytes& d, std::vector<std::pair<size_t, size_t>>* frames) {
    size_t at = 0;
    while (at + 6 <= d.size()) {
        const size_t length = d[at + 4] << 8 | d[at + 5];
        if (length < 2 || length > 254) return false;
        if (frames) frames->emplace_back(at, length);
        at += 6 + length;
    }
    return at == d.size();
}

// What one network read left behind: a kept connection ends on a frame's
// end, and a Modbus TCP reply handed up is the body of a frame with its id.
void checkNetworkRead() {
    const Bytes& d = net.delivered;
    if (!net.dropped) {
        if (net.framing == 1)
            check(!net.returned.empty() && d.size() == net.returned.size());
        else
            check(splitFrames(d, nullptr));
    }
    if (net.framing == 2 && !net.returned.empty()) {
        std::vector<std::pair<size_t, size_t>> frames;
        splitFrames(d, &frames);
        const size_t body = net.returned.size() - 2;
        bool found = false;
        for (auto [at, length] : frames)
            found = found || (d[at] == net.id >> 8 && d[at + 1] == (net.id & 0xFF) &&
                              d[at + 2] == 0 && d[at + 3] == 0 && length == body &&
                              std::equal(d.begin() + at + 6, d.begin() + at + 6 + length,
                                         net.returned.begin()));
        check(found);
    }
}

// The peer's bytes for this request: now, and held back for the next one.
void buildStream(const uint8_t* in, size_t n) {
    if (n == 0) return;
    net.segment = in[0];
    for (size_t i = 1; i + 1 < n;) {
        const uint8_t flags = in[i];
        const size_t take = std::min<size_t>(in[i + 1], n - i - 2);
        i += 2;
        const Bytes body(in + i, in + i + take);
        i += take;
        Bytes piece;
        const int kind = flags & 3;
        if (kind == 1 || kind == 2) {
            const uint16_t id = static_cast<uint16_t>(net.id - (kind == 2));
            const int shift = (flags & 4) ? static_cast<int8_t>(flags) >> 4 : 0;
            const size_t length = body.size() + shift;
            piece = {uint8_t(id >> 8), uint8_t(id), 0, 0, uint8_t(length >> 8), uint8_t(length)};
        }
        piece.insert(piece.end(), body.begin(), body.end());
        if (kind == 3) {
            const uint16_t c = vltest::crc16(body.data(), body.size());
            piece.push_back(c & 0xFF);
            piece.push_back(c >> 8);
        }
        Bytes& to = (flags & 8) ? net.late : net.now;
        to.insert(to.end(), piece.begin(), piece.end());
    }
}

// One invoke_modb and the checks every answer must pass.
void invokeOnce(uint8_t station, uint8_t function, uint16_t address, uint16_t count) {
    // The buffer starts as a pattern made once: copying and comparing it is
    // cheap, even at the 128 KB of 65535 registers.
    static const std::vector<uint8_t> pattern = [] {
        std::vector<uint8_t> p(2 * 65536);
        for (size_t i = 0; i < p.size(); i++)
            p[i] = static_cast<uint8_t>(i * 37 + 11);
        return p;
    }();
    const size_t bytes = bufferBytes(function, count);
    std::unique_ptr<uint8_t[]> data(new uint8_t[bytes]);
    std::memcpy(data.get(), pattern.data(), bytes);
    sent.clear();
    net.returned.clear();

    const int32_t status = invoke_modb(station, function, address, count, data.get());

    const Bytes& reply = net.framing ? net.returned : port.replies[0];
    if (!libraryCode(status)) {
        // Anything else can only be the module's exception code, passed on.
        check(status >= 1 && status <= 255 && status != 10 && status != 11);
        check(reply.size() >= 3 && (reply[1] & 0x80) && reply[2] == status);
    }
    const bool reads = function >= 1 && function <= 4;
    if (!reads || status != 0) check(std::memcmp(data.get(), pattern.data(), bytes) == 0);

    const bool supported =
        std::find(std::begin(kFunctions), std::end(kFunctions), function) != std::end(kFunctions);
    if (!supported) {
        check(status == VL_E_FUNCTION && sent.empty());
    } else if (sent.empty()) {
        check(status == VL_E_BUFFER && (function == 15 || function == 16));
    } else {
        check(sent.size() == 1);
        checkRequest(sent[0]);
        check(sent[0][0] == station && sent[0][1] == function);
        if (net.framing == 2) { // the same frame behind a header, its CRC left behind
            uint8_t wrapped[6 + VL_FRAME_MAX];
            const size_t len = vl_mbap_wrap(wrapped, sent[0].data(), sent[0].size(), net.id);
            check(len == sent[0].size() + 4 && size_t(wrapped[4] << 8 | wrapped[5]) == len - 6 &&
                  std::equal(wrapped + 6, wrapped + len, sent[0].begin()));
        }
    }
}

void transaction(const uint8_t* in, size_t n, uint8_t call) {
    if (n < 6) return;
    const uint8_t function = call < 8 ? kFunctions[call] : in[5];
    const uint8_t station = in[0];
    const uint16_t address = static_cast<uint16_t>(in[1] << 8 | in[2]);
    const uint16_t count = static_cast<uint16_t>(in[3] << 8 | in[4]);
    const size_t head = call < 8 ? 5 : 6;
    if (net.framing == 0) {
        port.replies.emplace_back(in + head, in + n);
        invokeOnce(station, function, address, count);
        return;
    }
    net.id = static_cast<uint16_t>(in[1] << 8 | in[0]);
    buildStream(in + head, n - head);
    invokeOnce(station, function, address, count);
    if (net.dropped || port.next == 0) return;
    // What the peer held back arrives now, behind anything still unread.
    Bytes rest(net.now.begin() + net.at, net.now.end());
    rest.insert(rest.end(), net.late.begin(), net.late.end());
    net.now = rest;
    net.late.clear();
    net.at = 0;
    net.id++;
    invokeOnce(station, function, address, count);
}

void search(const uint8_t* in, size_t n) {
    if (n < 5) return;
    const uint16_t version = static_cast<uint16_t>(in[0] | in[1] << 8);
    const uint16_t serial = static_cast<uint16_t>(in[2] | in[3] << 8);
    const uint8_t address = in[4];
    for (size_t i = 5; i < n;) {
        const uint8_t len = in[i++];
        const bool fails = len == 255;
        const size_t take = fails ? 0 : std::min<size_t>(len, n - i);
        port.replies.emplace_back(in + i, in + i + take);
        port.fails.push_back(fails);
        i += take;
    }

    // The outputs sit in heap blocks of their own size.
    std::unique_ptr<uint32_t> baud(new uint32_t(0xDEADBEEF));
    std::unique_ptr<uint8_t> parity(new uint8_t(0xA5));
    const int32_t status =
        EnumParameters("/dev/fuzz", version, serial, address, baud.get(), parity.get());
    check(status == VL_OK || status == VL_E_NO_ANSWER || status == VL_E_CRC);
    check(sent.size() >= 1 && sent.size() <= 24);
    for (const Bytes& probe : sent) {
        check(probe.size() == 9);
        checkRequest(probe);
    }
    if (status == VL_OK) {
        static const uint32_t rates[] = {115200, 57600, 38400, 28800, 19200, 9600, 4800, 2400};
        check(std::find(std::begin(rates), std::end(rates), *baud) != std::end(rates));
        check(*parity <= 2);
    } else {
        check(*baud == 0xDEADBEEF && *parity == 0xA5);
    }
}

} // namespace

// The harness keeps its own scheduling: the library would raise and then reset
// the priority of the whole fuzzing process on every call.
extern "C" int sched_setscheduler(pid_t, int, const struct sched_param*) {
    return 0;
}
extern "C" int setpriority(int, id_t, int) {
    return 0;
}

extern "C" {
int vl_port_recv(uint8_t* buf, size_t max) {
    const size_t k = port.next++;
    if (k < port.fails.size() && port.fails[k]) return -1;
    if (net.framing != 0) {
        net.delivered.clear();
        if (net.dropped) return -1; // no connection: no reply
        const int r = vl_net_recv_frame(net.framing == 2, net.id, buf, max, 0);
        check(r >= VL_RECV_MALFORMED && r <= static_cast<int>(max));
        if (r > 0) net.returned.assign(buf, buf + r);
        if (r > 0 && net.framing == 2) check(vltest::crc16(buf, size_t(r)) == 0);
        checkNetworkRead();
        return r;
    }
    if (k >= port.replies.size()) return 0;
    const Bytes& reply = port.replies[k];
    const size_t n = std::min(reply.size(), max);
    std::copy(reply.begin(), reply.begin() + n, buf);
    return static_cast<int>(n);
}

// The connection side, scripted: the peer's bytes in segments, then the
// deadline (or the peer closing).
int vl_net_read_more(uint8_t* buf, size_t* got, size_t room, int64_t) {
    check(!net.dropped && room > 0);
    if (net.at >= net.now.size()) {
        if (!net.closes) return 0;
        vl_net_drop();
        return -1;
    }
    size_t n = std::min(room, net.now.size() - net.at);
    if (net.segment) n = std::min(n, net.segment);
    std::copy(net.now.begin() + net.at, net.now.begin() + net.at + n, buf + *got);
    net.delivered.insert(net.delivered.end(), net.now.begin() + net.at,
                         net.now.begin() + net.at + n);
    *got += n;
    net.at += n;
    return 1;
}

void vl_net_drop(void) {
    net.dropped = true;
}

int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    port = Script{};
    net = Stream{};
    net.framing = (data[0] & 0x0F) == 9 ? 0 : std::min((data[0] >> 4) & 3, 2);
    net.closes = data[0] & 0x40;
    sent.clear();
    const uint8_t call = data[0] & 0x0F;
    if (call == 9) {
        search(data + 1, size - 1);
    } else if (call <= 8) {
        port.fails.push_back(data[0] & 0x80);
        transaction(data + 1, size - 1, call);
    }
    return 0;
}
}
