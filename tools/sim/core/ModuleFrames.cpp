// The virtual module as a Modbus RTU slave: the CRC, request frames in and
// reply frames out, the checks of a write and the exceptions it answers with.
#include "core/Module.h"

#include <algorithm>
#include <iterator>

#include "core/Detail.h"

namespace qmt::sim {

using namespace detail;

uint16_t crc16(const uint8_t* data, size_t len) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < len; ++i) {
        crc ^= data[i];
        for (int b = 0; b < 8; ++b)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : (crc >> 1);
    }
    return crc;
}

void appendCrc(std::vector<uint8_t>& frame) {
    uint16_t c = crc16(frame.data(), frame.size());
    frame.push_back(c & 0xFF);
    frame.push_back(c >> 8);
}

namespace {

constexpr int kBauds[] = {24, 48, 96, 192, 288, 384, 576, 1152};

} // namespace

std::vector<uint8_t> Module::exception(uint8_t station, uint8_t function, uint8_t code) const {
    std::vector<uint8_t> r{station, static_cast<uint8_t>(function | 0x80), code};
    appendCrc(r);
    return r;
}

// 0 when the write may go ahead, else the exception code: 2 for an address
// that is no register or cannot be written, 3 for a protected register
// without the write-enable code or a value the module cannot take.
uint8_t Module::checkWrite(uint16_t start, const uint16_t* values, size_t count,
                           bool enabled) const {
    if (start + count - 1 > 0xFFFF) return 2;
    int region = regionOf(start);
    if (region < 0 || regionOf(static_cast<uint16_t>(start + count - 1)) != region) return 2;
    for (size_t i = 0; i < count; ++i)
        if (isReadOnly(static_cast<uint16_t>(start + i))) return 2;
    for (size_t i = 0; i < count; ++i)
        if (isProtected(static_cast<uint16_t>(start + i)) && !enabled) return 3;
    for (size_t i = 0; i < count; ++i) {
        uint16_t a = static_cast<uint16_t>(start + i), v = values[i];
        // A station address of 0 (broadcast) or above 247, or a line setting
        // the module cannot run, would leave it unreachable.
        if (a == reg::Address && (v == 0 || v > 247)) return 3;
        if (a == reg::Baud &&
            std::find(std::begin(kBauds), std::end(kBauds), v) == std::end(kBauds))
            return 3;
        if (a == reg::Parity && v > 2) return 3;
        if ((a == reg::OutputControl1 || a == reg::OutputControl2) && v != reg::OutputOn &&
            v != reg::OutputOff)
            return 3;
    }
    return 0;
}

void Module::storeWritten(uint16_t addr, uint16_t value) {
    switch (addr) {
    case reg::WriteEnable:
        return; // a command, not a stored value
    case reg::OutputControl1:
    case reg::OutputControl2:
        image_[addr] = value == reg::OutputOn ? 1 : 0;
        return;
    case reg::OutputValue:
        image_[addr] = value;
        if (image_[reg::OutputSlew] == 0) output_ = s16(value);
        return;
    default:
        image_[addr] = value;
    }
}

std::vector<uint8_t> Module::handleFrame(const uint8_t* f, size_t len) {
    if (len < 4 || crc16(f, len) != 0) return {};
    const uint8_t station = f[0], fn = f[1];
    const bool broadcast = station == 0;
    if (!broadcast && station != address_) return {};

    const bool enabled = writeEnabled_;
    writeEnabled_ = false;
    auto word = [&](size_t i) { return static_cast<uint16_t>((f[i] << 8) | f[i + 1]); };
    std::vector<uint8_t> reply;

    if (fn == 255 && broadcast) {
        // Search probe: echo it when it names this very module.
        if (len != 9) return {};
        uint16_t version = static_cast<uint16_t>(f[2] | (f[3] << 8));
        uint16_t serial = static_cast<uint16_t>(f[4] | (f[5] << 8));
        if (version != image_[reg::Type] || serial != image_[reg::Serial] || f[6] != address_)
            return {};
        reply.assign(f, f + 7);
        appendCrc(reply);
        return reply;
    }

    if (fn == 3 || fn == 4) {
        // A short request has no address and count to read.
        const bool wellFormed = len == 8;
        uint16_t start = wellFormed ? word(2) : 0, count = wellFormed ? word(4) : 0;
        if (!wellFormed || count < 1 || count > 125)
            reply = exception(station, fn, 3);
        else if (start + count - 1 > 0xFFFF || regionOf(start) < 0 ||
                 regionOf(static_cast<uint16_t>(start + count - 1)) != regionOf(start))
            reply = exception(station, fn, 2);
        else {
            reply = {station, fn, static_cast<uint8_t>(2 * count)};
            for (uint16_t i = 0; i < count; ++i) {
                uint16_t v = image_[start + i];
                reply.push_back(v >> 8);
                reply.push_back(v & 0xFF);
            }
            appendCrc(reply);
        }
    } else if (fn == 6 || fn == 16) {
        uint16_t start = word(2);
        std::vector<uint16_t> values;
        bool wellFormed;
        if (fn == 6) {
            wellFormed = len == 8;
            if (wellFormed) values.push_back(word(4));
        } else {
            uint16_t count = len >= 9 ? word(4) : 0;
            wellFormed = len >= 9 && count >= 1 && count <= 123 && f[6] == 2 * count &&
                         len == 9u + 2 * count;
            for (uint16_t i = 0; wellFormed && i < count; ++i)
                values.push_back(word(7 + 2 * i));
        }
        uint8_t code = wellFormed ? checkWrite(start, values.data(), values.size(), enabled) : 3;
        if (code) {
            reply = exception(station, fn, code);
        } else {
            for (size_t i = 0; i < values.size(); ++i)
                storeWritten(static_cast<uint16_t>(start + i), values[i]);
            writeEnabled_ = start == reg::WriteEnable && values.size() == 1 &&
                            values[0] == reg::WriteEnableCode;
            reply.assign(f, f + 6); // both functions echo address and value or quantity
            appendCrc(reply);
            refreshPhysics();
        }
    } else {
        reply = exception(station, fn, 1);
    }
    if (broadcast) reply.clear();
    return reply;
}

std::vector<uint8_t> Module::refuse(const uint8_t* f, size_t len, uint8_t code) {
    if (len < 2) return {};
    writeEnabled_ = false;
    return exception(f[0], f[1], code);
}

} // namespace qmt::sim
