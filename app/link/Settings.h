#pragma once
// The settings file beside the executable: the port, its line settings and the
// module's station address. Read once when the main window is created, written
// only by OK in the port dialog.

#include <QString>

namespace qmt {

class IniFile;
struct TPortSettings;

// The executable's path with ".ini" appended (the executable has no extension).
QString SettingsFilePath();
// Tests point the program at a file of their own; an empty path restores the default.
void setSettingsFilePath(const QString& path);

// Fills PortSettings from the file; missing keys, values that are not integers
// and a missing or unreadable file give the defaults. Never creates the file.
void LoadPortSettings(const QString& iniPath);

// The same between a file already read and any settings record.
void ReadPortSettings(const IniFile& file, TPortSettings& settings);
void WritePortSettings(const TPortSettings& settings, IniFile& file);

// Writes the four keys of PortSettings, keeping every other line of the file.
// Raises qmt::Exception when the file cannot be written.
void SavePortSettings(const QString& iniPath);

} // namespace qmt
