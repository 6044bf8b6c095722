#pragma once
// Moving the configuration model between the program and the module, without
// any window: the reads in their order, the writes one register per request in
// the order the module wants them, the parameter a failed write names, the
// restart counter, and the comparison of two configurations register by
// register. The main window and the command line both run these.

#include "config/ModuleConfig.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace qmt {

// The 63 registers of a write, in their order: the step index names the
// parameter of a failure (it is the count of writes completed before it).
constexpr int ConfigWriteSteps = 63;
// From this step on the writes go to the PWM registers, after the firmware
// version has been read.
constexpr int FirstPwmStep = 53;

struct ConfigStep {
    uint16_t address;
    bool protectedWrite; // preceded by the write-enable code
    bool waitAfter;      // 100 ms before the next write
};
ConfigStep ConfigWriteStep(int step);
uint16_t& ConfigWord(ModuleConfig& config, int step);
uint16_t ConfigWord(const ModuleConfig& config, int step);
// "\"Уставка(ПИД2)\"": the parameter names of the write, with their quotes.
const std::array<QString, ConfigWriteSteps>& WriteStepNames();

// The firmware version with the PWM registers.
bool HasPwm(uint16_t firmwareVersion);

struct ConfigRead {
    int registers = 0; // registers read into the model
    bool pwm = false;  // the module has the PWM registers (and they were read)
};

// Reads the whole configuration into config. A failed request raises
// ECommError and leaves the words read before it in config, the others as
// they were. onModeRead runs once the module mode is in config, before the
// firmware version is read (the main window selects its mode group there).
ConfigRead ReadConfiguration(ModuleConfig& config,
                             const std::function<void(uint16_t mode)>& onModeRead = {});
// Writes config, 100 ms between the writes but the PWM ones; the PWM
// registers only when the module has them. Returns the registers written. A
// failure raises ECommError with "\nпараметр:\n" and the parameter's name
// added; what was written before stays written.
int WriteConfiguration(const ModuleConfig& config);

uint16_t ReadRestartCounter();
void ClearRestartCounter();

// One register in which two configurations differ.
struct ConfigDifference {
    int step;
    uint16_t address;
    uint16_t module; // the word in the first configuration (the module's)
    uint16_t wanted; // the word in the second (the file's)
    QString name;    // WriteStepNames()[step]
};
// The registers a write of wanted would change on a module holding module;
// without pwm the PWM registers do not count (the module has none).
std::vector<ConfigDifference> CompareConfigurations(const ModuleConfig& module,
                                                    const ModuleConfig& wanted, bool pwm);

} // namespace qmt
