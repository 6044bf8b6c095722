#pragma once
// How healthy the link is: every transaction of the register access layer and
// of the link check, counted by its status since the port was opened.

#include <QDateTime>
#include <QString>

#include <chrono>
#include <cstdint>
#include <map>

namespace qmt {

// What started the counts shown.
enum class CountsSince { PortOpened, Zeroed };

struct LinkStatistics {
    QDateTime since; // the port was opened, or the counts were zeroed
    CountsSince sinceWhat = CountsSince::PortOpened;
    uint64_t requests = 0;
    uint64_t good = 0;
    uint64_t noAnswer = 0;
    uint64_t crcErrors = 0;
    std::map<int, uint64_t> exceptions; // module exception code -> replies
    uint64_t otherErrors = 0;           // replies the library refused for another reason
    // Durations of the calls that got a good reply, as the program sees them:
    // request, reply, the library's priority switch and its pause after the
    // exchange (62 bit times on a serial line, none on a network port).
    double totalMs = 0;
    double maxMs = 0;
    int32_t lastError = 0; // status of the last failed transaction, 0: none yet
    QDateTime lastErrorAt;

    uint64_t exceptionCount() const;
    double meanMs() const { return good ? totalMs / double(good) : 0.0; }
};

const LinkStatistics& linkStatistics();
// Zeroes the counts; "since" becomes now. Opening a port does this too.
void ResetLinkStatistics(CountsSince why = CountsSince::PortOpened);
// Counts one transaction of the library with its status and duration.
void CountTransaction(int32_t status, std::chrono::steady_clock::duration took);
// One invoke_modb through the bound library, timed and counted; 14 when the
// library lacks it.
int32_t CountedInvoke(uint8_t station, uint8_t function, uint16_t address, uint16_t count,
                      void* data);
// "Запросов: 12, успешно: 11, ..." for the status bar's tooltip.
QString LinkStatisticsSummary();

} // namespace qmt
