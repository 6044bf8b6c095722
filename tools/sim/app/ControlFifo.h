// What the pseudo-terminal and the TCP gateway server share: the control FIFO
// they read commands from, the frame trace they write, the stop signals.
#pragma once

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/Control.h"

namespace qmt::sim {

class ControlFifo {
public:
    ControlFifo() = default;
    ~ControlFifo();
    ControlFifo(const ControlFifo&) = delete;
    ControlFifo& operator=(const ControlFifo&) = delete;

    // Creates the FIFO at path (replacing a stale one) and opens it; false
    // with a message.
    bool open(const std::string& path, std::string& error);
    int fd() const { return fd_; }
    // Runs every whole command line that has arrived and acknowledges each on
    // stdout ("ok LINE" / "bad LINE"); a command's value line (the meter's) is
    // printed before its acknowledgement.
    void read(ControlState& state);

private:
    std::string path_;
    int fd_ = -1;
    std::string buf_;
};

// Appends one frame to the trace as "<dir> XX XX ..." (no-op without a trace).
void traceFrame(FILE* trace, char dir, const std::vector<uint8_t>& bytes);

// Blocks SIGTERM and SIGINT, so that they get through only while the serving
// loop waits in ppoll() with the mask returned here.
sigset_t blockStopSignals();

} // namespace qmt::sim
