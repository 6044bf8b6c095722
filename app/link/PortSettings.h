#pragma once
// The one serial connection the program remembers, and the link-up flag.

#include <QString>

#include <cstdint>

namespace qmt {

struct TPortSettings {
    QString portName = QStringLiteral("/dev/ttyS0");
    int32_t baud = 19200;
    uint8_t parity = 2; // 0 none, 1 odd, 2 even
    uint8_t address = 1;
};

// A port reached through an Ethernet gateway ("tcp://HOST:PORT" or
// "rtu+tcp://HOST:PORT"): its speed and parity are the gateway's business.
bool IsNetworkPort(const QString& name);

// Program-wide; every register operation reads the station address from here.
extern TPortSettings PortSettings;

// Set and cleared only by the link supervision; writes to the module from the
// switches and the dialogs' send buttons happen only while it is set.
extern bool LinkUp;

} // namespace qmt
