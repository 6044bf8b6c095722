// The serving loop: a pseudo-terminal, the control FIFO and the module model.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "app/Control.h"
#include "app/ControlFifo.h"
#include "app/Options.h"
#include "core/Module.h"

namespace qmt::sim {

class Server {
public:
    // Serves every station of line (at least one).
    Server(Line& line, const SimOptions& options);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Opens the pty, the link, the FIFO and the trace; false with a message.
    bool open(std::string& error);
    const std::string& slavePath() const { return slavePath_; }
    // Serves until stop becomes non-zero (set by a signal handler).
    void run(volatile std::sig_atomic_t& stop);

private:
    using Clock = std::chrono::steady_clock;

    void readMaster(Clock::time_point now);
    void endOfRequest(Clock::time_point now);
    void sendDue(Clock::time_point now);
    void clearExclusive();
    double charSeconds(uint32_t baud) const { return 11.0 / baud; }

    Line& line_;
    const SimOptions& opt_;
    Faults faults_;
    bool silent_ = false;
    int master_ = -1, slave_ = -1, notify_ = -1;
    ControlFifo control_;
    std::string slavePath_;
    FILE* trace_ = nullptr;
    std::vector<uint8_t> rx_;
    Clock::time_point lastRx_;
    struct Pending {
        uint8_t byte;
        Clock::time_point due;
    };
    std::vector<Pending> tx_;
    size_t txNext_ = 0;
};

} // namespace qmt::sim
