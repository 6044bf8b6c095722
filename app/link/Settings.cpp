#include "link/Settings.h"

#include "link/Errors.h"
#include "link/IniFile.h"
#include "link/PortSettings.h"

#include <QCoreApplication>

namespace qmt {
namespace {

QString& overridePath() {
    static QString path;
    return path;
}

const QString PortSection = QStringLiteral("Port");
const QString StationSection = QStringLiteral("Station");

} // namespace

QString SettingsFilePath() {
    if (!overridePath().isEmpty()) return overridePath();
    return QCoreApplication::applicationFilePath() + QStringLiteral(".ini");
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
    if (!file.save()) throw Exception(QStringLiteral("Unable to write to %1").arg(iniPath));
}

} // namespace qmt
