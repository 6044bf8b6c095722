// termios2 lives in <asm/termbits.h>, which clashes with <termios.h>: keep
// this translation unit free of the libc header.
#include "app/LineSettings.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace qmt::sim {

bool readLineSettings(int fd, uint32_t& baud, uint8_t& parity) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) return false;
    baud = t.c_ospeed;
    if (t.c_cflag & PARODD)
        parity = 1;
    else if (t.c_cflag & CSTOPB)
        parity = 0;
    else
        parity = 2;
    return true;
}

void makeRaw(int fd) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) return;
    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~(CSIZE | PARENB);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    ioctl(fd, TCSETS2, &t);
}

} // namespace qmt::sim
