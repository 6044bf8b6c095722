#pragma once
// The one serial connection the program remembers, the link-up flag, and the
// line settings a module offers: one table for the windows, the search and
// the command line.

#include <QString>
#include <QStringList>

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

// The speeds a module runs at, slowest first as the lists show them: the
// library's search speeds, so the search can never try one the lists lack.
int LineSpeedCount();
int32_t LineSpeed(int index);     // 0 for an index out of the list
int LineSpeedIndex(int64_t baud); // -1 for a speed not in the list
QStringList LineSpeedItems();     // "2400" ... "115200"
// The speed of the search's combination 0..23 and its parity (index % 3).
int32_t SearchSpeed(int combination);

// Parity 0, 1, 2 as the windows name it: "None", "Odd", "Even"; any other
// value (a hand-edited file) as its number.
QString ParityName(uint8_t parity);
QStringList ParityItems();

// Program-wide; every register operation reads the station address from here.
extern TPortSettings PortSettings;

// Set and cleared only by the link supervision; writes to the module from the
// switches and the dialogs' send buttons happen only while it is set.
extern bool LinkUp;

} // namespace qmt
