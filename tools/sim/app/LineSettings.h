// Line settings a master has given the slave side of the pseudo-terminal.
#pragma once

#include <cstdint>

namespace qmt::sim {

// Reads the speed (termios2, any rate) and the parity code. A pseudo-terminal
// drops PARENB, so parity is told from what is left: CSTOPB alone is "none"
// (the master's two stop bits), PARODD is "odd", neither is "even".
bool readLineSettings(int fd, uint32_t& baud, uint8_t& parity);

// Puts the slave into raw mode so nothing is echoed before a master configures it.
void makeRaw(int fd);

} // namespace qmt::sim
