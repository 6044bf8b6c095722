#pragma once
// One line polled in a process of its own. The library holds one port per
// process, and the link layer one station address and one set of link counts,
// so each line gets a process: its lines never wait for each other and no
// line's traffic is counted as another's.
//
// The poller runs the values window's read cycle for each station in turn,
// every period, and writes the line's samples to standard output after each
// round, ended by a line holding a single dot. SIGTERM ends it between two
// requests.

#include "export/Targets.h"

namespace qmt::exporter {

// Until SIGTERM (or the exporter's end); 1 when the library cannot be bound.
int RunLinePoller(const LineTarget& target);

} // namespace qmt::exporter
