// The virtual module's register image: which addresses exist and how they may
// be written, the defaults and the power-up, the line settings, and the image
// saved to and loaded from text.
#include "core/Module.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "core/Detail.h"

namespace qmt::sim {

using namespace detail;

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

} // namespace

Module::Module(const ModuleOptions& o)
    : plants_(o.plants), load_(o.load), noise_(o.noise), rng_(o.seed) {
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
        resetPlant(n);
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
        if (addr <= r.last) return (r.pwm && image_[reg::Firmware] < 0x0200) ? -1 : i;
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