// A pseudo-terminal pair in raw mode. The slave side stays open for the pair's
// lifetime, so the terminal keeps its settings between the library's opens and
// the master never sees a hang-up. Kept free of <termios.h>, which clashes with
// the termios2 headers some tests use.
#pragma once

#include <string>

namespace vltest {

struct RawPty {
    int master = -1;
    int slave = -1;
    std::string path;

    RawPty();
    ~RawPty();
    RawPty(const RawPty&) = delete;
    RawPty& operator=(const RawPty&) = delete;
};

} // namespace vltest
