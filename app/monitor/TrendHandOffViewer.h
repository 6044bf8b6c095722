#pragma once
// What the two halves of the trend hand-off share: a started viewer's pipes
// and state, and the timed write to its input.

#include "monitor/TrendHandOff.h"

#include "common/TrendProtocol.h"

#include <QSocketNotifier>

#include <cstdint>
#include <string>
#include <vector>

#include <sys/types.h>

namespace qmt {

struct TrendHandOff::Viewer {
    pid_t pid = -1;
    int in = -1;  // our end of the viewer's standard input
    int out = -1; // our end of the viewer's standard output
    int pidFd = -1;
    curvix::FrameReader frames;
    std::vector<std::uint32_t> pendingRegistrations; // read while waiting for an ack
    QSocketNotifier* outNotifier = nullptr;
    QSocketNotifier* exitNotifier = nullptr;
    bool gone = false;
    bool reaped = false;
};

namespace handoff {

// Milliseconds of a steady clock, for the write and acknowledgement deadlines.
std::int64_t nowMs();

// Writes all of data before the deadline; false when the viewer is gone or
// does not take it in time.
bool writeAll(int fd, const std::string& data, std::int64_t deadlineMs);

} // namespace handoff
} // namespace qmt
