#pragma once
// Why a serial device would not open for this user: on a fresh laptop the
// user is not yet in the group that owns the serial ports.

#include <QString>

#include <cstdint>

namespace qmt {

// When the user lacks read or write permission on the device (access()) and
// the group that owns it may read and write it: the lines naming that group
// and the command that joins it. Empty otherwise (the device is missing, the user
// may open it, a network port, a device only its owner may open).
QString PortAccessHint(const QString& port);

// What "Невозможно открыть" tells for the library's status and the errno the
// library left: the port's name, then on a second line the hint above where
// it applies, else the cause ("нет такого устройства", "соединение
// отвергнуто" ...). No cause known (errno 0): the first line alone.
QString PortOpenFailureText(const QString& port, int32_t status, int cause);

// For a network port: the line that proposes the same address in the other
// framing (Modbus TCP or RTU frames over TCP). Empty for a device.
QString FramingHint(const QString& port);

} // namespace qmt
