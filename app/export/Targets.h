#pragma once
// The exporter's targets file: one section per line (the section name is the
// line's name) with the keys port, baud, parity, stations and period_ms.
// Parsing only; nothing here touches a module.

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace qmt::exporter {

struct LineTarget {
    QString name;
    QString port;         // serial device, tcp://HOST:PORT or rtu+tcp://HOST:PORT
    int32_t baud = 19200; // serial only
    uint8_t parity = 2;   // serial only: 0 none, 1 odd, 2 even
    std::vector<uint8_t> stations;
    int periodMs = 1000;
};

// The lines of the file at path. On any fault: nothing, and error holds one
// line naming the file, the line number and the key ("targets.ini:7: unknown
// key 'speed'").
std::optional<std::vector<LineTarget>> LoadTargets(const QString& path, QString& error);
// The same from the file's text; path only names it in the error.
std::optional<std::vector<LineTarget>> ParseTargets(const QString& path, const QString& text,
                                                    QString& error);

} // namespace qmt::exporter
