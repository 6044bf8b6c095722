#include "link/Settings.h"

#include "link/Errors.h"
#include "link/IniFile.h"
#include "link/PortSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace qmt {
namespace {

QString& overridePath() {
    static QString path;
    return path;
}

const QString FolderName = QStringLiteral("QMT584_View");
const QString FileName = QStringLiteral("QMT584_View.ini");

QString userSettingsPath(const QString& xdgConfigHome, const QString& home) {
    const QString base = !xdgConfigHome.isEmpty() && QDir::isAbsolutePath(xdgConfigHome)
                             ? xdgConfigHome
                             : home + QStringLiteral("/.config");
    return QDir::cleanPath(base + QLatin1Char('/') + FolderName + QLatin1Char('/') + FileName);
}

// The default location, decided once: loading at start and saving at OK must
// use the same file even if the folder's permissions change in between.
const QString& defaultPath() {
    static const QString path =
        SettingsFilePathFor(QCoreApplication::applicationFilePath(),
                            qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::homePath());
    return path;
}

// Every missing folder up to the file's, private to the user (mode 0700), as
// XDG config folders are meant to be.
bool makeFolderOf(const QString& file) {
    const QString folder = QFileInfo(file).absolutePath();
    if (QFileInfo(folder).isDir()) return true;
    if (!makeFolderOf(folder)) return false;
    return ::mkdir(QFile::encodeName(folder).constData(), 0700) == 0 || QFileInfo(folder).isDir();
}

const QString PortSection = QStringLiteral("Port");
const QString StationSection = QStringLiteral("Station");

} // namespace

QString SettingsFilePath() {
    if (!overridePath().isEmpty()) return overridePath();
    return defaultPath();
}

bool SettingsFolderWritable(const QString& folder) {
    const QString clean = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    // The package manager owns these; even root (the program started with sudo
    // to reach a port) keeps its settings in its own configuration folder.
    for (const char* system : {"/usr", "/bin", "/sbin"}) {
        const QString prefix = QLatin1String(system);
        if (clean == prefix || clean.startsWith(prefix + QLatin1Char('/'))) return false;
    }
    const QByteArray path = QFile::encodeName(clean);
    // access() also sees a read-only mount and access lists.
    if (::access(path.constData(), W_OK | X_OK) != 0) return false;
    if (::geteuid() != 0) return true;
    // Root passes access() whatever the mode: a folder no one may write to (an
    // installed or unpacked program folder made read-only) is not writable.
    struct stat st {};
    return ::stat(path.constData(), &st) == 0 && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH));
}

QString SettingsFilePathFor(const QString& executable, const QString& xdgConfigHome,
                            const QString& home) {
    if (SettingsFolderWritable(QFileInfo(executable).absolutePath()))
        return executable + QStringLiteral(".ini");
    return userSettingsPath(xdgConfigHome, home);
}

bool CreateUserSettingsFile() {
    if (!overridePath().isEmpty()) return true;
    const QString path = defaultPath();
    if (path == QCoreApplication::applicationFilePath() + QStringLiteral(".ini")) return true;
    if (QFileInfo::exists(path)) return true;
    if (!makeFolderOf(path)) return false;
    IniFile file(path);
    WritePortSettings(TPortSettings{}, file);
    return file.save();
}

void setSettingsFilePath(const QString& path) {
    overridePath() = path;
}

void ReadPortSettings(const IniFile& file, TPortSettings& settings) {
    const TPortSettings defaults;
    settings.portName = file.readString(PortSection, QStringLiteral("Name"), defaults.portName);
    settings.baud = file.readInteger(PortSection, QStringLiteral("Baud"), defaults.baud);
    settings.parity = static_cast<uint8_t>(
        file.readInteger(PortSection, QStringLiteral("Parity"), defaults.parity));
    settings.address = static_cast<uint8_t>(
        file.readInteger(StationSection, QStringLiteral("Address"), defaults.address));
}

void WritePortSettings(const TPortSettings& settings, IniFile& file) {
    file.writeString(PortSection, QStringLiteral("Name"), settings.portName);
    file.writeInteger(PortSection, QStringLiteral("Baud"), settings.baud);
    file.writeInteger(PortSection, QStringLiteral("Parity"), settings.parity);
    file.writeInteger(StationSection, QStringLiteral("Address"), settings.address);
}

void LoadPortSettings(const QString& iniPath) {
    IniFile file(iniPath);
    file.load(); // a missing or unreadable file reads as empty: all defaults
    ReadPortSettings(file, PortSettings);
}

void SavePortSettings(const QString& iniPath) {
    IniFile file(iniPath);
    // An unreadable file is not overwritten with four lines: its other content would be lost.
    if (file.load() == IniFile::LoadStatus::Unreadable)
        throw Exception(QStringLiteral("Unable to write to %1").arg(iniPath));
    WritePortSettings(PortSettings, file);
    // The user's configuration folder may have been removed since the start.
    if (!makeFolderOf(iniPath) || !file.save())
        throw Exception(QStringLiteral("Unable to write to %1").arg(iniPath));
}

} // namespace qmt
