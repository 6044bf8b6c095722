// scan and --trace: the station list and the traffic monitor of the main
// window, on a shell.
#include "cli/CliRun.h"

#include "link/Errors.h"
#include "link/PortSettings.h"
#include "link/StationScan.h"
#include "link/Traffic.h"

#include <cstdio>

#include <unistd.h>

namespace qmt::cli {
namespace {

constexpr int32_t NoAnswer = 14;

} // namespace

TraceFile::TraceFile(const QString& path) : file_(path) {
    if (path.isEmpty()) return;
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        error_ = QStringLiteral("Невозможно открыть файл %1: %2").arg(path, file_.errorString());
        return;
    }
    if (!TrafficTap::available()) {
        error_ = QStringLiteral("--trace: библиотека связи не умеет показывать обмен");
        return;
    }
    listener_ = traffic().listen([this](const TrafficFrame& frame) {
        file_.write(FrameLine(frame).toUtf8() + '\n');
        file_.flush(); // a run that ends by Ctrl-C keeps every frame so far
    });
}

TraceFile::~TraceFile() {
    if (listener_) traffic().stop(listener_);
}

int Scan(const Invocation& inv, const Report& report) {
    const ProbeTimeout timeout(PortSettings.portName, PortSettings.baud);
    // As the search does: on a terminal the address under way on one line.
    const bool terminal = isatty(STDERR_FILENO) == 1;
    int found = 0;
    for (int address = inv.firstStation; address <= inv.lastStation; ++address) {
        if (terminal)
            std::fprintf(stderr, "\r\033[K%s",
                         qPrintable(QStringLiteral("Поиск станций: %1 из %2")
                                        .arg(address - inv.firstStation + 1)
                                        .arg(inv.lastStation - inv.firstStation + 1)));
        StationIdentity id;
        const int32_t status = ProbeStation(static_cast<uint8_t>(address), id);
        if (status == NoAnswer) continue;
        if (terminal) std::fprintf(stderr, "\r\033[K");
        ++found;
        if (status == 0)
            report.out(QStringLiteral("%1 %2 %3 %4")
                           .arg(address)
                           .arg(ModuleTypeName(id.type), SerialNumberText(id.serial),
                                FirmwareVersionText(id.firmware)));
        else // something answers there, but not with an identity
            report.out(QStringLiteral("%1 %2").arg(address).arg(ECommError::messageFor(status)));
    }
    if (terminal) std::fprintf(stderr, "\r\033[K");
    report.out(QStringLiteral("Найдено станций: %1").arg(found));
    return found > 0 ? Success : Failed;
}

} // namespace qmt::cli
