#include "link/PortSettings.h"

namespace qmt {

TPortSettings PortSettings;
bool LinkUp = false;

} // namespace qmt
