#include "link/RegisterAccess.h"

#include "common/Seams.h"
#include "link/Errors.h"
#include "link/Library.h"
#include "link/LinkStats.h"
#include "link/PortAccess.h"
#include "link/PortSettings.h"
#include "link/RegisterMap.h"
#include "link/RegulatorHold.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <string>
#include <vector>

namespace qmt {
namespace {

constexpr int Attempts = 3;
constexpr int32_t NoAnswer = 14;

bool framingSuggested = false; // since the port was opened

// A gateway spoken to in the wrong framing stays silent, exactly as a module
// that is off: while nothing on this port has ever answered, the first
// "Нет ответа!" names the other framing once.
[[noreturn]] void raise(int32_t status) {
    ECommError error(status);
    const LinkStatistics& counts = linkStatistics();
    if (status == NoAnswer && !framingSuggested && counts.noAnswer == counts.requests) {
        const QString hint = FramingHint(PortSettings.portName);
        if (!hint.isEmpty()) {
            framingSuggested = true;
            error.setMessage(error.message() + QLatin1Char('\n') + hint);
        }
    }
    throw error;
}

void transact(uint8_t function, uint16_t address, uint16_t count, uint16_t* buffer) {
    int32_t status = NoAnswer; // no library bound behaves as no answer
    for (int attempt = 0; attempt < Attempts; ++attempt) {
        if (!library().invoke_modb) break;
        status = CountedInvoke(PortSettings.address, function, address, count, buffer);
        if (status == 0) return;
    }
    raise(status);
}

} // namespace

void ReadRegisters(uint16_t address, uint16_t count, uint16_t* buffer) {
    transact(3, address, count, buffer);
}

void ReadRegister(uint16_t address, uint16_t& value) {
    uint16_t word = 0;
    ReadRegisters(address, 1, &word);
    value = word;
}

uint16_t ReadRegister(uint16_t address) {
    uint16_t word = 0;
    ReadRegisters(address, 1, &word);
    return word;
}

void WriteRegisters(uint16_t address, uint16_t count, const uint16_t* buffer) {
    checkRegulatorHold(address, count);
    // The library takes a mutable pointer for every function; writes only read it.
    std::vector<uint16_t> copy(buffer, buffer + count);
    if (copy.empty()) copy.push_back(0);
    transact(16, address, count, copy.data());
}

void WriteRegister(uint16_t address, uint16_t value) {
    WriteRegisters(address, 1, &value);
}

void WriteProtectedRegisters(uint16_t address, uint16_t count, const uint16_t* buffer) {
    WriteRegister(reg::WriteEnable, reg::WriteEnableCode);
    WriteRegisters(address, count, buffer);
}

void WriteProtectedRegister(uint16_t address, uint16_t value) {
    WriteProtectedRegisters(address, 1, &value);
}

bool OpenPort(const QString& name, int32_t baud, uint8_t parity) {
    const QByteArray device = name.toLocal8Bit();
    errno = 0; // a library that does not say why leaves no stale cause
    const int32_t status =
        library().init_comm
            ? library().init_comm(device.constData(), static_cast<uint32_t>(baud), parity)
            : 11;
    const int cause = errno;
    if (status != 0) {
        notify(PortOpenFailureText(name, status, cause), QStringLiteral("Ошибка"), MsgIcon::Error);
        return false;
    }
    if (library().SetTout) library().SetTout(200);
    ResetLinkStatistics(); // the counts are of this port
    framingSuggested = false;
    return true;
}

QString FormatRegisterValue(uint16_t value, int kind) {
    switch (kind) {
    case 1:
        return QString::number(value);
    case 2:
        return QString::number(static_cast<int16_t>(value));
    case 3:
        return QString::number(value, 16).toUpper();
    default:
        return QString();
    }
}

long long ParseInteger(const QString& text, long long min, long long max, bool hex) {
    const QByteArray bytes = text.toLocal8Bit();
    const char* p = bytes.constData();
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f')
        ++p;
    if (*p == '\0') return 0; // white space only reads as 0, as scanf leaves the value untouched

    // scanf's %d and %X: optional sign, then digits; an optional 0x prefix for hex.
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(p, &end, hex ? 16 : 10);
    if (end == p) {
        throw Exception(QStringLiteral("\" %1 \" не является целым числом").arg(text));
    }
    if (errno == ERANGE || value < min || value > max) {
        // One pass: the user's text may itself hold a "%1".
        throw Exception(QStringLiteral("Значение %1 выходит за пределы %2 - %3!")
                            .arg(text, QString::number(min), QString::number(max)));
    }
    return value;
}

uint16_t ParseRegisterValue(const QString& text, int kind) {
    const bool signedKind = kind == 2;
    const long long value =
        ParseInteger(text, signedKind ? -32768 : 0, signedKind ? 32767 : 65535, kind == 3);
    return static_cast<uint16_t>(value & 0xFFFF);
}

QString FormatFloat(float value, int16_t decimals) {
    // printf's "%.Nf" without its dependence on LC_NUMERIC: always a point, and an
    // exact tie rounds to even (2.5 with no decimals gives 2), which the toolkit's
    // own conversion does not do.
    const int precision = decimals < 0 ? 6 : decimals;
    std::string buffer(64 + static_cast<size_t>(precision), '\0');
    const auto result =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), static_cast<double>(value),
                      std::chars_format::fixed, precision);
    QString text = QString::fromLatin1(buffer.data(), int(result.ptr - buffer.data()));
    const int point = text.indexOf(QLatin1Char('.'));
    if (point >= 0) text[point] = QLatin1Char(',');
    return text;
}

} // namespace qmt
