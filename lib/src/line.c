/* Line settings through termios2, which takes any baud rate (BOTHER). The
 * kernel's termbits clash with <termios.h>, so they live in this file alone. */
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <stdint.h>

#include "vornlink_int.h"

/* <sys/ioctl.h> would pull in the C library's termios types beside the kernel's. */
extern int ioctl(int fd, unsigned long request, ...);

/* A driver that cannot produce the rate within this share reports another one. */
#define VL_RATE_TOLERANCE_PERCENT 3

static int rate_close_enough(uint32_t got, uint32_t wanted) {
    uint64_t diff = got > wanted ? got - wanted : wanted - got;
    return diff * 100 <= (uint64_t)wanted * VL_RATE_TOLERANCE_PERCENT;
}

int vl_line_apply(int fd, uint32_t baud, uint8_t parity) {
    struct termios2 tio;

    if (baud == 0 || parity > 2) return -1;
    if (ioctl(fd, TCGETS2, &tio) != 0) return -1;

    /* Raw bytes both ways; parity errors are kept as bytes so the CRC rejects them. */
    tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                     IXANY | IGNPAR | IUCLC | IMAXBEL);
    tio.c_iflag |= INPCK;
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);

    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= CS8 | CLOCAL | CREAD | BOTHER | (BOTHER << IBSHIFT);
    if (parity == 0)
        tio.c_cflag |= CSTOPB; /* every character stays 11 bits long */
    else if (parity == 1)
        tio.c_cflag |= PARENB | PARODD;
    else
        tio.c_cflag |= PARENB;
    tio.c_ispeed = baud;
    tio.c_ospeed = baud;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;

    if (ioctl(fd, TCSETS2, &tio) != 0) return -1;

    /* The driver settles on the nearest rate it can make; a far one means unsupported. */
    if (ioctl(fd, TCGETS2, &tio) != 0) return -1;
    if (!rate_close_enough(tio.c_ospeed, baud)) return -1;
    return 0;
}
