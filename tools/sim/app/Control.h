// Commands of the control FIFO, one per line.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/Module.h"

namespace qmt::sim {

// Line faults injected into the module's replies.
struct Faults {
    int crc = 0;           // corrupt the CRC of this many replies
    int exceptionCode = 0; // answer this exception ...
    int exceptions = 0;    // ... to this many requests, executing none of them
    int delayMs = 0;       // extra delay before every reply
    int splitMs = 0;       // gap in the middle of every reply (0: none)
    int drops = 0;         // over TCP: break the connection in the middle of the next reply
};

// The module's reply to one request as it arrived (with its CRC), or a
// refusal with the injected exception while that fault lasts.
std::vector<uint8_t> moduleReply(Module& module, Faults& faults,
                                 const std::vector<uint8_t>& request);

// The stations on one line: each a module with its own address and
// registers, each of which can be cut from the line by itself.
class Line {
public:
    Line() = default;
    explicit Line(Module& first) { add(first); }
    void add(Module& module);
    size_t size() const { return modules_.size(); }
    Module& module(size_t i) const { return *modules_.at(i); }
    bool silent(size_t i) const { return silent_.at(i) != 0; }
    void setSilent(size_t i, bool on) { silent_.at(i) = on; }
    // The index of the station with this address, or -1.
    int find(int address) const;
    // The station the control commands address ("station N"); the first by default.
    size_t current = 0;

    // The reply of the one station the request is for, unless that one is
    // silent. accepts decides whether a module hears the line at all (its
    // speed and parity); without it every module does. replying, when
    // given, gets the module that answered.
    std::vector<uint8_t> reply(Faults& faults, const std::vector<uint8_t>& request,
                               const std::function<bool(const Module&)>& accepts = {},
                               const Module** replying = nullptr);
    void advance(double seconds);

private:
    std::vector<Module*> modules_;
    std::vector<char> silent_;
};

struct ControlState {
    Module& module;
    Faults& faults;
    bool& silent;  // the whole line cut
    Line* line = nullptr; // several stations: "station N" and "silent N" choose among them
};

// Runs one command line. Returns an empty string on success, else why the
// command was refused (the state is then unchanged). A command that answers
// with a value ("meter") leaves its line in *printed.
std::string runControl(const std::string& line, ControlState& state,
                       std::string* printed = nullptr);

// What a meter on the output terminals reads now, as "meter VALUE uA" or
// "meter VALUE mV": unit "uA" on the current terminals, "mV" on the voltage
// terminals, empty for the terminals of the module's output mode.
std::string meterReading(const Module& module, const std::string& unit = {});

} // namespace qmt::sim
