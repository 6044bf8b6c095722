#pragma once
// Finding every station on a line at the line's own settings: one read of the
// identity registers (type, serial number, date, firmware) per address, with a
// time-out only as long as that reply needs. Shared by the station list
// window and the command line; no widgets.

#include <QString>

#include <cstdint>

namespace qmt {

constexpr int FirstStation = 1;
constexpr int LastStation = 247;

struct StationIdentity {
    uint8_t address = 0;
    uint16_t type = 0;
    uint16_t serial = 0;
    uint16_t firmware = 0;
};

// The reply time-out of one probe on this port: the identity reply's length
// at the baud rate and a margin for the module's turnaround; a network
// gateway gets a fixed one.
uint32_t ProbeTimeoutMs(const QString& port, int32_t baud);

// The short time-out for the life of a scan; the usual 200 ms after it.
class ProbeTimeout {
public:
    ProbeTimeout(const QString& port, int32_t baud);
    ~ProbeTimeout();
    ProbeTimeout(const ProbeTimeout&) = delete;
    ProbeTimeout& operator=(const ProbeTimeout&) = delete;
};

// One request to address, no retry. The library's status; identity holds
// what answered only on 0. An exception reply is an answer too (a station of
// another kind is there), reported by its status.
int32_t ProbeStation(uint8_t address, StationIdentity& identity);

// The name of a module type code 1..8 ("QMT-584", "QMT-584.1" ...), "UNKNOWN"
// for any other.
QString ModuleTypeName(uint16_t type);
// "C0015": the letter and number of the serial code.
QString SerialNumberText(uint16_t code);
// "02.00": major and minor number.
QString FirmwareVersionText(uint16_t version);

} // namespace qmt
