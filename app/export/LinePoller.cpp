#include "export/LinePoller.h"

#include "common/Seams.h"
#include "config/ConfigTransfer.h"
#include "export/StationSamples.h"
#include "link/Errors.h"
#include "link/Library.h"
#include "link/LinkStats.h"
#include "link/PortSettings.h"
#include "link/RegisterAccess.h"
#include "link/RegisterMap.h"
#include "monitor/ValuesCycle.h"

#include <QDateTime>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>

#include <sys/prctl.h>
#include <unistd.h>

namespace qmt::exporter {
namespace {

using SteadyClock = std::chrono::steady_clock;

// A line that stopped answering is reopened after this, doubling up to the most.
constexpr int MaxBackOffMs = 30000;

volatile std::sig_atomic_t stopRequested = 0;

void onStop(int) {
    stopRequested = 1;
}

InvokeModbFn libraryInvoke = nullptr;
LineCounters* responseTimes = nullptr;

// Read-only by design: whatever a caller asks, only reads reach the line.
int32_t readOnlyInvoke(uint8_t station, uint8_t function, uint16_t address, uint16_t count,
                       void* data) {
    if (function != 3 && function != 4) return 15; // as an unsupported function: nothing is sent
    const auto start = SteadyClock::now();
    const int32_t status = libraryInvoke(station, function, address, count, data);
    if (status == 0 && responseTimes)
        responseTimes->observeResponse(
            std::chrono::duration<double>(SteadyClock::now() - start).count());
    return status;
}

// The library's and the link layer's messages, one line each on standard
// error with the line's name; a message repeated by every reopening attempt
// is said once.
class LineNotices : public Notices {
public:
    explicit LineNotices(const LineTarget& line)
        : prefix_(QStringLiteral("qmt584-cli export: line [%1] %2: ").arg(line.name, line.port)) {}
    void notice(const QString& text, const QString&, MsgIcon) override {
        if (text == last_) return;
        last_ = text;
        say(text);
    }
    void say(const QString& text) const {
        std::fprintf(stderr, "%s\n", qPrintable(prefix_ + OneLine(text)));
        std::fflush(stderr);
    }
    void forget() { last_.clear(); }

private:
    QString prefix_;
    QString last_;
};

// Sleeps up to ms; false when asked to stop meanwhile.
bool pauseMs(long long ms) {
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(ms);
    while (!stopRequested) {
        const auto left = deadline - SteadyClock::now();
        if (left <= SteadyClock::duration::zero()) return true;
        const auto slice = std::min<SteadyClock::duration>(left, std::chrono::milliseconds(50));
        const timespec ts{
            0, long(std::chrono::duration_cast<std::chrono::nanoseconds>(slice).count())};
        ::nanosleep(&ts, nullptr); // SIGTERM cuts it short
    }
    return false;
}

class Poller {
public:
    explicit Poller(const LineTarget& target) : target_(target), notices_(target) {
        for (uint8_t station : target.stations) {
            StationReading reading;
            reading.station = station;
            stations_.push_back(reading);
        }
    }

    int run();

private:
    bool open();
    void poll(StationReading& station);
    bool publish();
    LineCounters counters() const;

    const LineTarget& target_;
    LineNotices notices_;
    std::vector<StationReading> stations_;
    LineCounters histogram_; // response times, kept across reopenings
    LineCounters folded_;    // the counts of ports opened before the current one
    bool connected_ = false;
    std::vector<bool> silent_ = std::vector<bool>(256); // by station: its failure was said
};

bool Poller::open() {
    // Opening a port zeroes the link layer's counts (a failed opening leaves
    // them): the line's counters go on from where they were.
    const LineCounters before = counters();
    connected_ = OpenPort(target_.port, target_.baud, target_.parity);
    if (connected_) {
        folded_ = before;
        notices_.forget();
    }
    return connected_;
}

LineCounters Poller::counters() const {
    const LinkStatistics& s = linkStatistics();
    LineCounters c = histogram_;
    c.requests = folded_.requests + s.requests;
    c.timeouts = folded_.timeouts + s.noAnswer;
    c.crcErrors = folded_.crcErrors + s.crcErrors;
    c.exceptions = folded_.exceptions + s.exceptionCount();
    c.otherErrors = folded_.otherErrors + s.otherErrors;
    return c;
}

void Poller::poll(StationReading& station) {
    PortSettings.address = station.station;
    try {
        const uint16_t restarts = ReadRestartCounter();
        // Who answers is read at start, when a station comes back and after a restart.
        if (!station.identity || !station.up || restarts != station.restarts) {
            uint16_t words[4];
            ReadRegisters(reg::ModuleType, 4, words);
            station.identity = Identity{words[0], words[1], words[reg::FirmwareVersion]};
        }
        ValuesReading reading;
        reading.read();
        TakeReading(reading, station);
        station.restarts = restarts;
        station.up = true;
        station.lastGoodSeconds = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
        if (silent_[station.station]) {
            silent_[station.station] = false;
            notices_.say(QStringLiteral("station %1 answers again").arg(station.station));
        }
    } catch (const Exception& error) {
        station.up = false;
        if (!silent_[station.station]) {
            silent_[station.station] = true;
            notices_.say(
                QStringLiteral("station %1: %2").arg(station.station).arg(error.message()));
        }
    }
}

bool Poller::publish() {
    const QStringList samples = LineSamples(target_.name, connected_, stations_, counters());
    const QByteArray block = (samples.join(QLatin1Char('\n')) + QStringLiteral("\n.\n")).toUtf8();
    const bool written =
        std::fwrite(block.constData(), 1, size_t(block.size()), stdout) == size_t(block.size()) &&
        std::fflush(stdout) == 0;
    return written; // the exporter is gone otherwise
}

int Poller::run() {
    setNotices(&notices_);
    PortSettings.portName = target_.port;
    PortSettings.baud = target_.baud;
    PortSettings.parity = target_.parity;
    if (!BindLibrary()) return 1;
    libraryInvoke = library().invoke_modb;
    library().invoke_modb = readOnlyInvoke;
    responseTimes = &histogram_;

    int backOffMs = target_.periodMs;
    while (!stopRequested) {
        const auto start = SteadyClock::now();
        bool answered = false;
        if (connected_ || open()) {
            for (StationReading& station : stations_) {
                if (stopRequested) break;
                poll(station);
                answered = answered || station.up;
            }
        }
        if (!answered) {
            for (StationReading& station : stations_)
                station.up = false;
            connected_ = false; // reopened after the back-off
        }
        if (!publish()) break;
        if (!answered) {
            if (!pauseMs(backOffMs)) break;
            backOffMs = std::min(2 * backOffMs, MaxBackOffMs);
            continue;
        }
        backOffMs = target_.periodMs;
        const auto spent =
            std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start);
        pauseMs(target_.periodMs - spent.count());
    }
    setNotices(nullptr);
    return 0;
}

} // namespace

int RunLinePoller(const LineTarget& target) {
    struct sigaction action {};
    action.sa_handler = onStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    // The poller does not outlive its exporter.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() == 1) return 0;
    Poller poller(target);
    return poller.run();
}

} // namespace qmt::exporter
