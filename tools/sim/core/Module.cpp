#include "core/Module.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

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

uint16_t packDate(int day, int month, int year) {
    return static_cast<uint16_t>(day + 32 + month * 64 + (year % 100) * 1024);
}

namespace {

struct Region {
    uint16_t first, last;
    bool pwm; // exists only from firmware 0x0200 on
};

// Every register the module answers for. A block access must stay inside one
// region; the gaps between them are not registers at all.
constexpr Region kRegions[] = {
    {0, 3, false},       {8, 10, false},      {12, 14, false},     {16, 18, false},
    {20, 22, false},     {24, 26, false},     {28, 30, false},     {32, 34, false},
    {36, 38, false},     {48, 60, false},     {256, 260, false},   {264, 312, false},
    {320, 324, true},    {328, 332, true},    {1024, 1028, false}, {1040, 1045, false},
    {1048, 1053, false}, {1056, 1061, false}, {1064, 1064, false}, {1072, 1074, false},
    {1912, 1912, false},
};

constexpr int kBauds[] = {24, 48, 96, 192, 288, 384, 576, 1152};

} // namespace

Module::Module(const ModuleOptions& o) : rng_(o.seed) {
    setDefaults(o);
    powerUp();
}

void Module::setDefaults(const ModuleOptions& o) {
    std::memset(image_.data(), 0, sizeof image_);
    image_[reg::Type] = o.type;
    image_[reg::Serial] = o.serial;
    image_[reg::ManufactureDate] = packDate(15, 3, 23);
    image_[reg::Firmware] = o.firmware;
    for (int k = 0; k < 8; ++k)
        image_[reg::CoefFirst + 4 * k + 1] = 1; // gain 1.0, offset 0
    for (int i = 0; i < 3; ++i) {
        image_[reg::InputTi + i] = 40;
        image_[reg::InputMode + i] = 2;
    }
    image_[reg::OutputSlew] = 40;
    image_[reg::OutputMode] = 2;
    image_[reg::ModuleMode] = 2;
    image_[reg::CalibrationDate] = packDate(20, 4, 23);
    image_[reg::Address] = o.address;
    image_[reg::Baud] = static_cast<uint16_t>(o.baud / 100);
    image_[reg::Parity] = o.parity;
    for (int n = 0; n < Regulators; ++n) {
        uint16_t* b = &image_[reg::PidBlock + reg::PidBlockStride * n];
        b[pid::Kp] = 100;
        b[pid::Ti] = 65535;
        b[pid::Ts] = 2;
        b[pid::Ymax] = 20000;
        b[pid::Ymin] = static_cast<uint16_t>(-20000);
    }
    for (uint16_t base : {reg::Pwm1, reg::Pwm2}) {
        image_[base] = 100;
        image_[base + 1] = 200;
        image_[base + 2] = 60000;
        image_[base + 3] = 20000;
    }
}

// What a module does at reset: count the start, load the run-time values
// from their parameters and forget every pending command.
void Module::powerUp() {
    ++image_[reg::Restarts];
    for (int n = 0; n < Regulators; ++n) {
        regs_[n] = Regulator{};
        for (int w = 0; w < 6; ++w)
            live(n, w) = 0;
        live(n, pid::LiveXfo) = pidReg(n, pid::XfoDef);
    }
    for (auto& p : pwm_)
        p = Pwm{};
    image_[reg::OutputValue] = image_[reg::OutputInitial];
    output_ = s16(image_[reg::OutputInitial]);
    image_[reg::ResetRegister] = 0;
    image_[reg::PwmState] = 0;
    image_[reg::OutputControl1] = 0;
    image_[reg::OutputControl2] = 0;
    image_[reg::WriteEnable] = 0;
    writeEnabled_ = false;
    pending_ = 0.0;
    time_ = 0.0;
    applyLineSettings();
    refreshPhysics();
}

int Module::regionOf(uint16_t addr) const {
    int i = 0;
    for (const Region& r : kRegions) { // in address order
        if (addr < r.first) break;
        if (addr <= r.last)
            return (r.pwm && image_[reg::Firmware] < 0x0200) ? -1 : i;
        ++i;
    }
    return -1;
}

bool Module::isMapped(uint16_t addr) const {
    return regionOf(addr) >= 0;
}

// "address value" lines for every mapped register below end, region by region.
void Module::writeMapped(std::ostream& out, uint32_t end) const {
    for (const Region& r : kRegions) {
        if (r.pwm && image_[reg::Firmware] < 0x0200) continue;
        for (uint32_t a = r.first; a <= r.last && a < end; ++a)
            out << a << ' ' << image_[a] << '\n';
    }
}

bool Module::isProtected(uint16_t addr) const {
    return addr == reg::Serial || addr == reg::ManufactureDate ||
           (addr >= reg::CoefFirst && addr <= 38 && isMapped(addr)) ||
           (addr >= reg::InputTi && addr <= reg::ModuleMode);
}

bool Module::isReadOnly(uint16_t addr) const {
    if (addr == reg::Type || addr == reg::Firmware || addr == reg::Status) return true;
    if (addr >= reg::InputValue && addr < reg::OutputValue) return true;
    for (int n = 0; n < Regulators; ++n) {
        uint16_t b = reg::Live + reg::LiveStride * n;
        if (addr >= b && addr <= b + pid::LiveY) return true;
    }
    return false;
}

uint16_t Module::reg(uint16_t addr) const {
    return image_[addr];
}

void Module::setReg(uint16_t addr, uint16_t value) {
    image_[addr] = value;
    if (addr >= reg::Address && addr <= reg::Parity) applyLineSettings();
    if (addr == reg::OutputValue && image_[reg::OutputSlew] == 0) output_ = s16(value);
    refreshPhysics();
}

void Module::applyLineSettings() {
    address_ = static_cast<uint8_t>(image_[reg::Address]);
    baud_ = image_[reg::Baud] * 100u;
    parity_ = static_cast<uint8_t>(image_[reg::Parity]);
}

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

std::string Module::saveImage() const {
    std::ostringstream out;
    out << "qmt584-sim-image 1\n";
    writeMapped(out, reg::InputValue);
    return out.str();
}

bool Module::loadImage(const std::string& text, std::string* error) {
    std::istringstream in(text);
    std::string line;
    auto fail = [&](const std::string& why) {
        image_[reg::Status] |= 0x0008; // parameter checksum error
        if (error) *error = why;
        return false;
    };
    if (!std::getline(in, line) || line != "qmt584-sim-image 1")
        return fail("not a register image");
    std::vector<std::pair<uint16_t, uint16_t>> values;
    int lineNo = 1;
    while (std::getline(in, line)) {
        ++lineNo;
        if (line.empty()) continue;
        std::istringstream ls(line);
        long a = -1, v = -1;
        std::string rest;
        if (!(ls >> a >> v) || (ls >> rest) || a < 0 || a >= reg::InputValue || v < 0 || v > 0xFFFF)
            return fail("bad line " + std::to_string(lineNo));
        values.emplace_back(static_cast<uint16_t>(a), static_cast<uint16_t>(v));
    }
    for (auto [a, v] : values)
        image_[a] = v;
    powerUp();
    return true;
}

std::string Module::dump() const {
    std::ostringstream out;
    writeMapped(out, 0x10000);
    char buf[160];
    std::snprintf(buf, sizeof buf,
                  "dac_code %d\noutput_mV %.2f\noutput_uA %.2f\nraw %d %d %d\npwm %d %d\n",
                  dacCode_, outputMillivolts(), outputMicroamps(), inputs_[0].raw, inputs_[1].raw,
                  inputs_[2].raw, int(pwm_[0].level), int(pwm_[1].level));
    out << buf;
    return out.str();
}

} // namespace qmt::sim