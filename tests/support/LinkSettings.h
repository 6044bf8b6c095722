#pragma once
// The settings file beside a test's program: the port on a simulator's link,
// even parity, station 1; or a folder of its own where the program keeps it.

#include "link/PortSettings.h"
#include "link/Settings.h"

#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace qmt::test {

// Writes QMT584_View.ini into dir and returns its path, or "" when it cannot be written.
inline QString writeLinkSettings(const QTemporaryDir& dir, const QString& link, int baud) {
    const QString ini = dir.filePath(QStringLiteral("QMT584_View.ini"));
    QFile f(ini);
    if (!f.open(QIODevice::WriteOnly)) return QString();
    const QByteArray text =
        QStringLiteral("[Port]\nName=%1\nBaud=%2\nParity=2\n[Station]\nAddress=1\n")
            .arg(link)
            .arg(baud)
            .toUtf8();
    return f.write(text) == text.size() ? ini : QString();
}

// The program's settings file in a fresh folder for one test, with the port
// settings given; both are put back when it goes.
struct ScratchSettings {
    explicit ScratchSettings(const TPortSettings& port) {
        setSettingsFilePath(path);
        PortSettings = port;
    }
    ~ScratchSettings() {
        setSettingsFilePath(QString());
        PortSettings = {};
    }
    ScratchSettings(const ScratchSettings&) = delete;
    ScratchSettings& operator=(const ScratchSettings&) = delete;

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("QMT584_View.ini"));
};

} // namespace qmt::test
