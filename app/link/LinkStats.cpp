#include "link/LinkStats.h"

#include "common/Seams.h"
#include "link/Errors.h"
#include "link/Library.h"

#include <QLocale>

namespace qmt {
namespace {

LinkStatistics stats;

// The library's own reply checks; any other non-zero status is the
// exception code of the module's reply.
bool libraryStatus(int32_t status) {
    return (status >= 11 && status <= 23) || status == 25 || status < 0 || status > 255;
}

} // namespace

uint64_t LinkStatistics::exceptionCount() const {
    uint64_t n = 0;
    for (const auto& [code, count] : exceptions)
        n += count;
    return n;
}

const LinkStatistics& linkStatistics() {
    return stats;
}

void ResetLinkStatistics(CountsSince why) {
    stats = LinkStatistics{};
    stats.since = clock().now();
    stats.sinceWhat = why;
}

void CountTransaction(int32_t status, std::chrono::steady_clock::duration took) {
    ++stats.requests;
    if (status == 0) {
        const double ms = std::chrono::duration<double, std::milli>(took).count();
        ++stats.good;
        stats.totalMs += ms;
        if (ms > stats.maxMs) stats.maxMs = ms;
        return;
    }
    if (status == 14)
        ++stats.noAnswer;
    else if (status == 17)
        ++stats.crcErrors;
    else if (libraryStatus(status))
        ++stats.otherErrors;
    else
        ++stats.exceptions[status];
    stats.lastError = status;
    stats.lastErrorAt = clock().now();
}

int32_t CountedInvoke(uint8_t station, uint8_t function, uint16_t address, uint16_t count,
                      void* data) {
    const InvokeModbFn invoke = library().invoke_modb;
    if (!invoke) return 14;
    const auto start = std::chrono::steady_clock::now();
    const int32_t status = invoke(station, function, address, count, data);
    CountTransaction(status, std::chrono::steady_clock::now() - start);
    return status;
}

QString LinkStatisticsSummary() {
    const LinkStatistics& s = stats;
    return QStringLiteral(
               "Запросов: %1, успешно: %2, нет ответа: %3, CRC: %4, исключений: %5, прочих: %6, обмен с паузой: ср. %7 мс, макс. %8 мс")
        .arg(s.requests)
        .arg(s.good)
        .arg(s.noAnswer)
        .arg(s.crcErrors)
        .arg(s.exceptionCount())
        .arg(s.otherErrors)
        .arg(QLocale().toString(s.meanMs(), 'f', 1))
        .arg(QLocale().toString(s.maxMs, 'f', 1));
}

} // namespace qmt
