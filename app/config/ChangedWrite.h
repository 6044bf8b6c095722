#pragma once
// Writing only what differs: the module's configuration is read, compared
// with the one to write register by register, and just the registers that
// differ are written, in the full write's order, each with its write-enable
// code and its wait as there. The main window and the command line run it.

#include "config/ConfigTransfer.h"
#include "config/ModuleConfig.h"

#include <vector>

namespace qmt {

// Reads the module's configuration (a failed read raises ECommError and
// writes nothing) and lists the registers a write of wanted would change.
// keepModuleMode: wanted has no module mode of its own (a .pid file), so the
// module's stays.
std::vector<ConfigDifference> ModuleChanges(const ModuleConfig& wanted, bool keepModuleMode);

// Writes the listed registers with the values of wanted; returns how many.
// A failure raises ECommError with the parameter's name and how many of the
// list were written before it added; those stay written.
int WriteChanges(const ModuleConfig& wanted, const std::vector<ConfigDifference>& changes);

// "264 \"Уставка(ПИД1)\": 100 → 250": one row of the list shown before writing.
QString ChangeText(const ConfigDifference& change);

} // namespace qmt
