#pragma once
// Why a serial device would not open for this user: on a fresh laptop the
// user is not yet in the group that owns the serial ports.

#include <QString>

namespace qmt {

// When the user lacks read or write permission on the device (access()) and
// the group that owns it may read and write it: the lines naming that group
// and the command that joins it. Empty otherwise (the device is missing, the user
// may open it, a network port, a device only its owner may open).
QString PortAccessHint(const QString& port);

} // namespace qmt
