// Reads a terminal's line settings with termios2, which reports any baud rate.
// The kernel's termbits clash with <termios.h>, hence a file of its own.
#include <asm/ioctls.h>
#include <asm/termbits.h>

#include "pty_module.h"

extern "C" int ioctl(int fd, unsigned long request, ...);

namespace vltest {

LineState readLine(int fd) {
    struct termios2 tio {};
    LineState s;
    if (ioctl(fd, TCGETS2, &tio) != 0) return s;
    s.baud = tio.c_ospeed;
    // A pseudo-terminal drops PARENB but keeps CSTOPB and PARODD.
    s.parity = (tio.c_cflag & CSTOPB) ? 0 : (tio.c_cflag & PARODD) ? 1 : 2;
    s.stopBits = (tio.c_cflag & CSTOPB) ? 2 : 1;
    s.dataBits8 = (tio.c_cflag & CSIZE) == CS8;
    s.raw = !(tio.c_lflag & (ICANON | ECHO | ISIG)) && !(tio.c_oflag & OPOST) &&
            !(tio.c_iflag & (IXON | IXOFF | ICRNL));
    s.inpck = (tio.c_iflag & INPCK) != 0;
    s.noFlowControl = !(tio.c_cflag & CRTSCTS);
    s.local = (tio.c_cflag & (CLOCAL | CREAD)) == (CLOCAL | CREAD);
    return s;
}

} // namespace vltest
