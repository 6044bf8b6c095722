#include "dialogs/PackedDate.h"

namespace qmt {

PackedDateFields UnpackDate(uint16_t packed) {
    PackedDateFields d;
    d.day = packed & 0x1F;
    if (packed & 0x20) {
        d.month = (packed >> 6) & 0x0F;
        d.year = packed >> 10;
    } else {
        d.month = (packed >> 8) & 0x0F;
        d.year = packed >> 12;
    }
    return d;
}

bool IsValidPackedDate(const PackedDateFields& date) {
    return date.year > 0 && QDate(date.year, date.month, date.day).isValid();
}

QString FormatPackedDate(const PackedDateFields& date) {
    return QStringLiteral("%1.%2.%3")
        .arg(date.day, 2, 10, QLatin1Char('0'))
        .arg(date.month, 2, 10, QLatin1Char('0'))
        .arg(date.year, 2, 10, QLatin1Char('0'));
}

uint16_t PackDate(int day, int month, int year) {
    return static_cast<uint16_t>(day + 32 + month * 64 + (year % 100) * 1024);
}

uint16_t PackDate(const QDate& date) {
    return PackDate(date.day(), date.month(), date.year());
}

} // namespace qmt
