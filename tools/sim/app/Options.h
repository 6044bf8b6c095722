// Command line of qmt584-sim.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Module.h"

namespace qmt::sim {

struct SimOptions {
    std::string link;
    std::string tcp;   // HOST:PORT to serve on instead of a pseudo-terminal
    bool mbap = false; // Modbus TCP framing on tcp, else RTU frames
    ModuleOptions module;
    // --address 1,2,3: the further stations on the same line, each a module
    // of its own (module.address is the first).
    std::vector<uint8_t> moreStations;
    std::string trace, control, state;
    bool pace = true;
    int turnaroundMs = 2;
    double timeScale = 1.0; // simulated seconds per wall-clock second
    // Options given explicitly win over a loaded state image.
    bool hasType = false, hasSerial = false, hasFirmware = false;
    bool hasAddress = false, hasBaud = false, hasParity = false;
    bool help = false;
    bool version = false;
};

// false with a message for the user on a bad command line.
bool parseOptions(int argc, const char* const* argv, SimOptions& out, std::string& error);

const char* usageText();

// "N:K,T,L" or "N:K,T1,T2,L" -> regulator N - 1 and its plant; false with
// the reason.
bool parsePlant(const std::string& text, int& regulator, Plant& plant, std::string& why);

// "A0001" -> (1 << 11) + 1; false unless a letter A..Z and a number 0..2047
bool parseSerial(const std::string& text, uint16_t& code);

} // namespace qmt::sim
