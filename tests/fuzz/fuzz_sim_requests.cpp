// Any request bytes into the simulator's register model, as a sequence of
// frames with simulated time between them. Every reply is a well-formed frame
// to the station and function asked, and the live model stays defined (the
// sanitizers see its arithmetic).
//
// Byte 0 picks the module variant; then frames as [flags][length][bytes]:
// flags bit 0 appends the right CRC, bits 1-3 let time run before the frame.
#include "core/Module.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace qmt::sim;

void check(bool ok) {
    if (!ok) abort();
}

void checkReply(const std::vector<uint8_t>& req, const std::vector<uint8_t>& reply,
                uint8_t address) {
    if (reply.empty()) return;
    check(reply.size() >= 5 && reply.size() <= 256);
    check(crc16(reply.data(), reply.size()) == 0);
    check(req[0] == address || (req[0] == 0 && req[1] == 255));
    check(reply[0] == req[0]);
    if (req[0] == 0) { // only the search probe is answered, by its echo
        check(req.size() == 9 && std::equal(req.begin(), req.end(), reply.begin()));
        return;
    }
    if (reply[1] & 0x80) {
        check(reply.size() == 5 && (reply[1] & 0x7F) == (req[1] & 0x7F) && reply[2] != 0);
        return;
    }
    check(reply[1] == req[1]);
    if (req[1] == 3 || req[1] == 4) check(reply.size() == 5u + reply[2]);
}

const double kSteps[] = {0.0, 0.002, 0.003, 0.01, 0.02, 0.05, 0.1, 0.2};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    ModuleOptions options;
    options.type = (data[0] & 1) ? 8 : 2;
    options.firmware = (data[0] & 2) ? 0x0105 : 0x0200;
    options.address = (data[0] & 4) ? 247 : 1;
    options.seed = data[0];
    Module module(options);

    for (size_t i = 1; i + 2 <= size;) {
        const uint8_t flags = data[i];
        const size_t len = std::min<size_t>(data[i + 1], size - i - 2);
        std::vector<uint8_t> req(data + i + 2, data + i + 2 + len);
        i += 2 + len;
        if (flags & 1) appendCrc(req);
        module.advance(kSteps[(flags >> 1) & 7]);
        const uint8_t address = module.address();
        const std::vector<uint8_t> reply = module.handleFrame(req.data(), req.size());
        checkReply(req, reply, address);
        check(module.parity() <= 2 && module.address() >= 1 && module.address() <= 247);
    }
    module.advance(0.05);

    // What the module keeps in flash survives a restart unchanged, but for the
    // restart count, which goes up by one.
    const std::string image = module.saveImage();
    Module restarted(options);
    check(restarted.loadImage(image));
    std::string expected = image;
    const std::string key = '\n' + std::to_string(reg::Restarts) + ' ';
    const size_t at = expected.find(key);
    check(at != std::string::npos);
    const size_t from = at + key.size();
    expected.replace(from, expected.find('\n', from) - from,
                     std::to_string(static_cast<uint16_t>(module.reg(reg::Restarts) + 1)));
    check(restarted.saveImage() == expected);
    return 0;
}
