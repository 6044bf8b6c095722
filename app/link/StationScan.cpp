#include "link/StationScan.h"

#include "link/Library.h"
#include "link/PortSettings.h"
#include "link/RegisterMap.h"

namespace qmt {
namespace {

constexpr uint16_t IdentityRegisters = reg::FirmwareVersion + 1;
// Station, function, byte count, four registers, CRC.
constexpr int IdentityReplyBytes = 3 + 2 * IdentityRegisters + 2;
constexpr int BitsPerByte = 11; // start, 8 data, parity or second stop, stop
constexpr uint32_t TurnaroundMarginMs = 40;
constexpr uint32_t NetworkProbeMs = 100;
constexpr uint32_t UsualTimeoutMs = 200;
constexpr int32_t NoPort = 14;

void setTimeout(uint32_t ms) {
    if (library().SetTout) library().SetTout(ms);
}

} // namespace

uint32_t ProbeTimeoutMs(const QString& port, int32_t baud) {
    if (IsNetworkPort(port) || baud <= 0) return NetworkProbeMs;
    const uint32_t frameMs = (IdentityReplyBytes * BitsPerByte * 1000u + baud - 1) / baud;
    return frameMs + TurnaroundMarginMs;
}

ProbeTimeout::ProbeTimeout(const QString& port, int32_t baud) {
    setTimeout(ProbeTimeoutMs(port, baud));
}

ProbeTimeout::~ProbeTimeout() {
    setTimeout(UsualTimeoutMs);
}

int32_t ProbeStation(uint8_t address, StationIdentity& identity) {
    if (!library().invoke_modb) return NoPort;
    uint16_t words[IdentityRegisters] = {};
    const int32_t status =
        library().invoke_modb(address, 3, reg::ModuleType, IdentityRegisters, words);
    if (status == 0)
        identity = {address, words[reg::ModuleType], words[reg::SerialNumber],
                    words[reg::FirmwareVersion]};
    return status;
}

QString ModuleTypeName(uint16_t code) {
    static const char* const names[] = {"QMT-417", "QMT-584", "KS-RV-06", "ZRN",
                                        "QMV-362", "QMV-219", "QMT-473",  "QMT-584.1"};
    if (code < 1 || code > 8) return QStringLiteral("UNKNOWN");
    return QLatin1String(names[code - 1]);
}

QString SerialNumberText(uint16_t code) {
    const int letter = code >> reg::SerialLetterShift;
    const QChar shown = letter >= 1 && letter <= 26 ? QChar('A' + letter - 1) : QLatin1Char('?');
    return shown + QString::asprintf("%04d", code & reg::SerialNumberMask);
}

QString FirmwareVersionText(uint16_t version) {
    return QString::asprintf("%02d.%02d", version >> 8, version & 0xFF);
}

} // namespace qmt
