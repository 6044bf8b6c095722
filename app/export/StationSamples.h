#pragma once
// What one line's poller knows after a cycle, turned into sample lines of the
// text format (see Metrics.h): each station's last read cycle as numbers, its
// identity, and the line's link counts.

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace qmt {
struct ValuesReading;
}

namespace qmt::exporter {

struct Identity {
    uint16_t type = 0;     // register 0
    uint16_t serial = 0;   // register 1: letter and number
    uint16_t firmware = 0; // register 3: major in the high byte
};

struct RegulatorValues {
    int xs = 0, xm = 0, y = 0;
    uint16_t state = 0;
};

struct StationReading {
    uint8_t station = 0;
    bool up = false;            // the last cycle read every block
    double lastGoodSeconds = 0; // Unix time of the last complete cycle; 0: none yet
    std::optional<Identity> identity;
    std::array<RegulatorValues, 3> regulators{};
    std::array<int, 3> inputs{};
    int output = 0;
    uint16_t restarts = 0;
};

// Upper bounds of the response-time histogram, in seconds.
inline constexpr std::array<double, 9> ResponseBuckets = {0.005, 0.01, 0.02, 0.05, 0.1,
                                                          0.2,   0.5,  1.0,  2.0};

struct LineCounters {
    uint64_t requests = 0, timeouts = 0, crcErrors = 0, exceptions = 0, otherErrors = 0;
    std::array<uint64_t, ResponseBuckets.size()> buckets{}; // not cumulative
    uint64_t responses = 0;
    double responseSeconds = 0;

    void observeResponse(double seconds);
};

// The values window's read cycle, as its texts, into numbers.
void TakeReading(const ValuesReading& reading, StationReading& out);

// Every sample of the line. A station whose last cycle failed shows only that
// it is down, when it last answered and who it was: no old value poses as new.
QStringList LineSamples(const QString& line, bool connected,
                        const std::vector<StationReading>& stations, const LineCounters& counters);

} // namespace qmt::exporter
