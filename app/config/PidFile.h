#pragma once
// The configuration model as a .pid file: which key holds which word, in which
// form, and the word a missing or unreadable key gives.

#include "config/ModuleConfig.h"

namespace qmt {

class IniFile;

// True when the file has at least one section of a configuration; a file
// without any is something else and must not load as the defaults.
bool HasPidConfig(const IniFile& ini);
// Every word of the model from the file's keys.
void ReadPidConfig(const IniFile& ini, ModuleConfig& config);
// Every key from the model, keeping the file's other lines.
void WritePidConfig(const ModuleConfig& config, IniFile& ini);

} // namespace qmt
