// Any reply bytes into every function code of invoke_modb and into the module
// search, through a scripted port in place of the device. Whatever comes back,
// the call returns a status the library may return, touches nothing outside
// the caller's buffer (AddressSanitizer sees every byte of it), changes the
// buffer only on a successful read and sends well-formed requests.
//
// Input: byte 0 chooses the call (low nibble) and whether the first read fails
// (bit 7). A transaction takes station, address and count (5 bytes) and the
// rest as the one reply; a search takes version, serial and address (5 bytes)
// and then replies as [length][bytes], length 255 meaning a failed read.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <sched.h>
#include <sys/resource.h>

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

void check(bool ok) {
    if (!ok) abort();
}

void checkRequest(const Bytes& req) {
    check(req.size() >= 4 && req.size() <= VL_FRAME_MAX);
    const uint16_t c = vltest::crc16(req.data(), req.size() - 2);
    check(req[req.size() - 2] == (c & 0xFF) && req[req.size() - 1] == (c >> 8));
}

void transaction(const uint8_t* in, size_t n, uint8_t call) {
    if (n < 6) return;
    const uint8_t function = call < 8 ? kFunctions[call] : in[5];
    const uint8_t station = in[0];
    const uint16_t address = static_cast<uint16_t>(in[1] << 8 | in[2]);
    const uint16_t count = static_cast<uint16_t>(in[3] << 8 | in[4]);
    port.replies.emplace_back(in + (call < 8 ? 5 : 6), in + n);

    const size_t bytes = bufferBytes(function, count);
    std::unique_ptr<uint8_t[]> data(new uint8_t[bytes]);
    for (size_t i = 0; i < bytes; i++)
        data[i] = static_cast<uint8_t>(i * 37 + 11);
    const Bytes before(data.get(), data.get() + bytes);

    const int32_t status = invoke_modb(station, function, address, count, data.get());

    const Bytes& reply = port.replies[0];
    if (!libraryCode(status)) {
        // Anything else can only be the module's exception code, passed on.
        check(status >= 1 && status <= 255);
        check(reply.size() >= 3 && (reply[1] & 0x80) && reply[2] == status);
    }
    const bool reads = function >= 1 && function <= 4;
    if (!reads || status != 0) check(Bytes(data.get(), data.get() + bytes) == before);

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
    }
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
    if (k >= port.replies.size()) return 0;
    const Bytes& reply = port.replies[k];
    const size_t n = std::min(reply.size(), max);
    std::copy(reply.begin(), reply.begin() + n, buf);
    return static_cast<int>(n);
}

int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    port = Script{};
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
