// Commands of the control FIFO, one per line.
#pragma once

#include <string>

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

struct ControlState {
    Module& module;
    Faults& faults;
    bool& silent;
};

// Runs one command line. Returns an empty string on success, else why the
// command was refused (the state is then unchanged).
std::string runControl(const std::string& line, ControlState& state);

} // namespace qmt::sim
