#pragma once
// The configuration model as a .pid file: which key holds which word, in which
// form, and the word a missing or unreadable key gives.

#include "config/ModuleConfig.h"

#include <QString>

#include <optional>

namespace qmt {

class IniFile;

// True when the file has at least one section of a configuration; a file
// without any is something else and must not load as the defaults.
bool HasPidConfig(const IniFile& ini);
// A key of the table that a file lacks (missing) or whose text gives no
// number, so that reading it would put the key's default in its place.
struct PidKeyFault {
    QString section;
    QString key;
    bool missing = false;
};
// The first such key in the table's order; nothing when every key reads.
std::optional<PidKeyFault> FirstUnreadablePidKey(const IniFile& ini);
// Every word of the model from the file's keys. A key that is missing, no
// number, or a number no 16-bit word holds gives its default.
void ReadPidConfig(const IniFile& ini, ModuleConfig& config);
// The message for the first key, in the table's order, whose number lies
// outside -32768..65535 as the word it stands for (value x 100 for Kp, x 10
// for Td); nothing when every number fits. path only names the file in it.
std::optional<QString> PidRangeError(const IniFile& ini, const QString& path);
// The message for a set-point switch of regulator n (0..2) holding a source
// code the switch does not offer (modes::SetpointOffered).
QString SetpointFaultText(int n);
// Every key from the model, keeping the file's other lines.
void WritePidConfig(const ModuleConfig& config, IniFile& ini);

// The model as the file at path gives it, starting from base (the module
// mode is not in the file). Raises qmt::Exception, changing nothing, for a
// file that exists but cannot be read, holds no configuration, or has a
// number out of range (PidRangeError).
ModuleConfig LoadPidFile(const QString& path, const ModuleConfig& base);
// Writes config into the file at path, keeping the file's other lines, in
// one step. Raises qmt::Exception ("Unable to write to PATH") on failure.
void SavePidFile(const QString& path, const ModuleConfig& config);

} // namespace qmt
