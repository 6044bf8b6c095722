#include "raw_pty.h"

#include <fcntl.h>
#include <stdexcept>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace vltest {

RawPty::RawPty() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        throw std::runtime_error("no pseudo-terminal");
    path = ptsname(master);
    struct termios raw {};
    tcgetattr(master, &raw);
    cfmakeraw(&raw);
    tcsetattr(master, TCSANOW, &raw);
    slave = open(path.c_str(), O_RDWR | O_NOCTTY);
    if (slave < 0) throw std::runtime_error("cannot open " + path);
}

RawPty::~RawPty() {
    close(slave);
    close(master);
}

} // namespace vltest
