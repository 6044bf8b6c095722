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

void LoadPortSettings(const QString& iniPath) {
    IniFile file(iniPath);
    file.load(); // a missing or unreadable file reads as empty: all defaults
    const TPortSettings defaults;
    PortSettings.portName = file.readString(PortSection, QStringLiteral("Name"), defaults.portName);
    PortSettings.baud = file.readInteger(PortSection, QStringLiteral("Baud"), defaults.baud);
    PortSettings.parity = static_cast<uint8_t>(
        file.readInteger(PortSection, QStringLiteral("Parity"), defaults.parity));
    PortSettings.address = static_cast<uint8_t>(
        file.readInteger(StationSection, QStringLiteral("Address"), defaults.address));
}

void SavePortSettings(const QString& iniPath) {
    IniFile file(iniPath);
    // An unreadable file is not overwritten with four lines: its other content would be lost.
    if (file.load() == IniFile::LoadStatus::Unreadable)
        throw Exception(QStringLiteral("Unable to write to %1").arg(iniPath));
    file.writeString(PortSection, QStringLiteral("Name"), PortSettings.portName);
    file.writeInteger(PortSection, QStringLiteral("Baud"), PortSettings.baud);
    file.writeInteger(PortSection, QStringLiteral("Parity"), PortSettings.parity);
    file.writeInteger(StationSection, QStringLiteral("Address"), PortSettings.address);
    if (!file.save()) throw Exception(QStringLiteral("Unable to write to %1").arg(iniPath));
}

} // namespace qmt
