#pragma once
// The settings file: the port, its line settings and the module's station
// address. Read once when the main window is created, written only by OK in the
// port dialog (and, in the user's configuration folder, once at the first start).

#include <QString>

namespace qmt {

class IniFile;
struct TPortSettings;

// The executable's path with ".ini" appended (the executable has no extension)
// when the executable's folder is writable (a portable bundle, a build folder);
// otherwise, as for a system install, $XDG_CONFIG_HOME/QMT584_View/QMT584_View.ini
// (default ~/.config/...). Decided once per process.
QString SettingsFilePath();
// The same decision for any executable and environment; xdgConfigHome that is
// empty or relative counts as unset.
QString SettingsFilePathFor(const QString& executable, const QString& xdgConfigHome,
                            const QString& home);
// Whether the program may keep its settings in this folder: the user may write
// there, and so may root only where the mode bits let someone write; the
// system's program folders (/usr/..., /bin, /sbin) never count.
bool SettingsFolderWritable(const QString& folder);

// At start, before the settings are loaded: a settings file that belongs in the
// user's configuration folder and is missing there is created with the defaults.
// A file beside the program is never created here. false when creating failed.
bool CreateUserSettingsFile();
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
