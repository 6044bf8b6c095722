#pragma once
// The settings file beside a test's program: the port on a simulator's link,
// even parity, station 1.

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

} // namespace qmt::test
