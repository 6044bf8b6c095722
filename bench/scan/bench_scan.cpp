// The time of "Поиск станций" over 247 addresses of which none answers, at
// 19200 baud: the simulator silenced, reading and discarding every request.
// The pseudo-terminal takes a request at once where a real line needs 8 bytes'
// time, so that time is added for the figure of a real line.
#include "link/Library.h"
#include "link/PortSettings.h"
#include "link/RegisterAccess.h"
#include "link/StationScan.h"
#include "testing/SimProcess.h"

#include <QString>

#include <chrono>
#include <cstdio>

int main() {
    constexpr int Baud = 19200;
    constexpr double GoalSeconds = 30.0;
    qmt::sim::SimProcess sim;
    const QString link = QString::fromStdString(sim.start({"--baud", "19200", "--parity", "even"}));
    if (link.isEmpty() || !sim.sendControl("silent on")) {
        std::fprintf(stderr, "bench_scan: simulator: %s\n", sim.error().c_str());
        return 2;
    }
    if (!qmt::BindLibrary(VORNLINK_FILE) || !qmt::OpenPort(link, Baud, 2)) return 2;
    qmt::PortSettings = {link, Baud, 2, 1};

    const auto start = std::chrono::steady_clock::now();
    int answered = 0;
    {
        const qmt::ProbeTimeout timeout(link, Baud);
        for (int address = qmt::FirstStation; address <= qmt::LastStation; ++address) {
            qmt::StationIdentity id;
            answered += qmt::ProbeStation(static_cast<uint8_t>(address), id) != 14;
        }
    }
    const double measured =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const int addresses = qmt::LastStation - qmt::FirstStation + 1;
    const double requestsOnLine = addresses * 8 * 11.0 / Baud;
    const double total = measured + requestsOnLine;
    std::printf("scan of %d silent addresses at %d baud: %.2f s measured, %.2f s with the "
                "requests' line time (goal under %.0f s); probe time-out %u ms; %d answered\n",
                addresses, Baud, measured, total, GoalSeconds, qmt::ProbeTimeoutMs(link, Baud),
                answered);
    sim.stop();
    return total < GoalSeconds && answered == 0 ? 0 : 1;
}
