#include "link/PortSettings.h"

namespace qmt {

TPortSettings PortSettings;
bool LinkUp = false;

bool IsNetworkPort(const QString& name) {
    // Spelled exactly as the library tells them from device paths.
    return name.startsWith(QLatin1String("tcp://")) || name.startsWith(QLatin1String("rtu+tcp://"));
}

} // namespace qmt
