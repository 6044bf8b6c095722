// Register model of a virtual QMT-584 module: the Modbus RTU slave side, the
// register image with its access rules, the analog front end and the three
// PID regulators. No I/O and no clocks: the caller feeds request frames and
// advances simulated time, so the same model serves the pseudo-terminal
// simulator and in-process test fakes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/ModuleRegisters.h"

namespace qmt::sim {

// Modbus CRC-16 (initial 0xFFFF, polynomial 0xA001, no final XOR).
uint16_t crc16(const uint8_t* data, size_t len);

// Appends the CRC (low byte first) to a frame.
void appendCrc(std::vector<uint8_t>& frame);

// A regulator's plant given by its step response as the program sees it:
// Xm changes by gain per unit of Y, through one lag (t2 = 0) or two lags in
// series, after a dead time. Times in seconds of simulated time.
struct Plant {
    double gain = 1.0;
    double t1 = 1.0, t2 = 0.0;
    double deadTime = 0.0;
};

struct ModuleOptions {
    uint16_t type = 2;          // register 0; 8 = inputs-only variant
    uint16_t serial = 2048 + 1; // register 1: letter A (1<<11) + number 1  ("A0001")
    uint16_t firmware = 0x0200; // register 3; below 0x0200 registers 320..332 do not exist
    uint8_t address = 1;
    uint32_t baud = 19200;
    uint8_t parity = 2; // 0 none, 1 odd, 2 even
    uint32_t seed = 1;
    // Plants of regulators 1..3; without one a regulator keeps its built-in
    // plant (a lag of 1, 2 or 3 s on the physical input quantity).
    std::array<std::optional<Plant>, 3> plants;
    double load = 40.0; // amplitude of the slow load disturbance, in units of Y
    int noise = 1;      // input noise in counts (an open input picks up four times as much)
};

// What an analog input is physically connected to.
struct InputConnection {
    enum Kind {
        Process,       // the regulator's simulated plant (default)
        Open,          // nothing: mid-scale plus noise
        VoltageOutput, // the module's own voltage output, with a polarity
        CurrentOutput, // the module's own current output, with a polarity
        VoltageSource, // an external source, value in mV
        CurrentSource, // an external source, value in uA
    };
    Kind kind = Process;
    int polarity = 1;   // +1 or -1, for the output wirings
    double value = 0.0; // for the sources
};

class Module {
public:
    static constexpr int Inputs = 3;
    static constexpr int Regulators = 3;

    explicit Module(const ModuleOptions& = {});

    // One complete RTU request (CRC included) -> reply frame (CRC included), or
    // empty when the module stays silent (bad CRC, other station, broadcast,
    // unmatched probe). New line settings written to 257..259 are only stored:
    // like the module, it keeps answering at its old address, speed and parity
    // until it restarts, so a master can write all three in a row.
    std::vector<uint8_t> handleFrame(const uint8_t* frame, size_t len);

    // Answers a request of this station with an exception without carrying it
    // out (an injected fault). The module did receive it, so like any other
    // request it uses up the write-enable code.
    std::vector<uint8_t> refuse(const uint8_t* frame, size_t len, uint8_t code);

    bool isMapped(uint16_t addr) const;
    bool isProtected(uint16_t addr) const; // needs the write-enable code
    bool isReadOnly(uint16_t addr) const;
    uint16_t reg(uint16_t addr) const;          // raw register image, no rules
    void setReg(uint16_t addr, uint16_t value); // raw write, no rules (257..259 apply at once)

    // A power cycle: the registers are kept, stored line settings take effect,
    // run-time values start afresh and the restart counter goes up.
    void restart() { powerUp(); }

    // Live behaviour: PID loops, plants, output slew, PWM, noise, and the
    // commands left in the reset register and the state words. Simulated time
    // runs in 2 ms module cycles; a fraction of a cycle is carried over.
    void advance(double seconds);

    // Line settings the module currently uses (registers 257..259 may already
    // hold others, for the next restart).
    uint8_t address() const { return address_; }
    uint32_t baud() const { return baud_; }
    uint8_t parity() const { return parity_; }

    // Analog front end.
    void connectInput(int input, const InputConnection& c); // input 0..2
    InputConnection inputConnection(int input) const { return inputs_.at(input).conn; }
    int dacCode() const { return dacCode_; }
    // the one converter code drives both outputs: 1.25 mV per code around mid-scale,
    // 1.2821 uA per code from zero
    double outputMillivolts() const { return (dacCode_ - 8192) * 1.25; }
    double outputMicroamps() const { return dacCode_ * 1.2821; }
    int rawCount(int input) const { return inputs_.at(input).raw; }
    double plantValue(int regulator) const { return regs_.at(regulator).plant; }
    bool pwmOutput(int output) const { return pwm_.at(output).level; } // output 0..1

    // Plants and disturbances, changed at run time by the control commands.
    // A new plant starts at rest at the regulator's present output.
    void setPlant(int regulator, const std::optional<Plant>& plant);
    void setLoad(double amplitude) { load_ = amplitude; }
    void setNoise(int counts) { noise_ = counts; }
    double load() const { return load_; }
    int noise() const { return noise_; }

    // Register image as text ("addr value" lines) of everything a module keeps
    // in flash. loadImage restores it and counts a restart; on a malformed text
    // it keeps the defaults, sets the parameter checksum bit of the status
    // register and returns false with the reason.
    std::string saveImage() const;
    bool loadImage(const std::string& text, std::string* error = nullptr);

    // Every mapped register and the physical output, one item per line.
    std::string dump() const;

private:
    struct Input {
        InputConnection conn;
        int noise = 0;
        int raw = 2048;
    };
    struct Regulator {
        double integrator = 0.0;
        double prevError = 0.0;
        double sinceSample = 0.0;
        double plant = 0.0; // the built-in plant's value, or a configured plant's Xm change
        double lag = 0.0;   // first lag of a second-order plant
        int16_t y = 0;
        std::vector<int16_t> delayed; // outputs on their way through the dead time
        size_t delayAt = 0;
    };
    struct Pwm {
        double phase = 0.0; // seconds into the sawtooth period
        bool active = false;
        bool level = false;
    };

    void setDefaults(const ModuleOptions& o);
    void powerUp();
    std::vector<uint8_t> exception(uint8_t station, uint8_t function, uint8_t code) const;
    int regionOf(uint16_t addr) const;
    void writeMapped(std::ostream& out, uint32_t end) const;
    uint8_t checkWrite(uint16_t start, const uint16_t* values, size_t count, bool enabled) const;
    void storeWritten(uint16_t addr, uint16_t value);
    void applyLineSettings();
    void refreshPhysics();
    bool outputFromRegister() const;
    double outputTarget() const;
    int16_t inputValue(int input) const;
    void cycle(double dt);
    void regulatorCycle(int n, double dt);
    void plantCycle(int n, double dt);
    double plantCounts(int input) const;
    void resetPlant(int n);
    void pwmCycle(int k, double signal, double dt);
    uint16_t pidReg(int n, int word) const { return image_[reg::PidBlock + 16 * n + word]; }
    uint16_t& live(int n, int word) { return image_[reg::Live + 8 * n + word]; }

    // The whole address space; setDefaults sets every word.
    std::array<uint16_t, 65536> image_;
    std::array<Input, Inputs> inputs_;
    std::array<Regulator, Regulators> regs_;
    std::array<Pwm, 2> pwm_;
    std::array<std::optional<Plant>, 3> plants_;
    double load_ = 40.0;
    int noise_ = 1;
    double output_ = 0.0; // output value after the slew limit, in mV or uA
    int dacCode_ = 0;
    double pending_ = 0.0; // simulated time not yet run as a full cycle
    double time_ = 0.0;    // simulated time since power-up
    bool writeEnabled_ = false;
    uint8_t address_ = 1;
    uint32_t baud_ = 19200;
    uint8_t parity_ = 2;
    std::mt19937 rng_;
};

// Packs a date as the module keeps it (layout flag in bit 5).
uint16_t packDate(int day, int month, int year);

} // namespace qmt::sim
