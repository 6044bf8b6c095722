#include "dialogs/FixedPoint.h"

#include "link/Errors.h"
#include "link/RegisterAccess.h"

#include <cmath>

namespace qmt {
namespace {

constexpr int RegisterMax = 65535;
constexpr long long DoubledMax = 2LL * RegisterMax + 1;

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

[[noreturn]] void notANumber(const QString& text) {
    throw Exception(QStringLiteral("'%1' is not a valid floating point value").arg(text));
}

} // namespace

uint16_t ParseFixedPoint(const QString& text, int decimals) {
    const QString t = text.trimmed();
    int i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == QLatin1Char('-') || t[i] == QLatin1Char('+')))
        negative = t[i++] == QLatin1Char('-');

    // Mantissa digits without the separator; pointAt digits stand before it.
    QString digits;
    int pointAt = 0;
    while (i < t.size() && isDigit(t[i]))
        digits += t[i++];
    pointAt = digits.size();
    if (i < t.size() && (t[i] == QLatin1Char(',') || t[i] == QLatin1Char('.'))) {
        ++i;
        while (i < t.size() && isDigit(t[i]))
            digits += t[i++];
    }
    if (digits.isEmpty()) notANumber(text);

    if (i < t.size() && (t[i] == QLatin1Char('e') || t[i] == QLatin1Char('E'))) {
        ++i;
        bool negativeExponent = false;
        if (i < t.size() && (t[i] == QLatin1Char('-') || t[i] == QLatin1Char('+')))
            negativeExponent = t[i++] == QLatin1Char('-');
        if (i >= t.size() || !isDigit(t[i])) notANumber(text);
        int exponent = 0;
        while (i < t.size() && isDigit(t[i])) {
            // Far beyond any register; saturating keeps the arithmetic in range.
            exponent = qMin(exponent * 10 + (t[i++].unicode() - '0'), 100000);
        }
        pointAt += negativeExponent ? -exponent : exponent;
    }
    if (i != t.size()) notANumber(text);

    while (!digits.isEmpty() && digits[0] == QLatin1Char('0')) {
        digits.remove(0, 1);
        --pointAt;
    }
    const auto outOfRange = [&] {
        // One pass: the user's text may itself hold a "%1".
        return Exception(QStringLiteral("Значение %1 выходит за пределы 0 - %2!")
                             .arg(text, FormatFloat(float(RegisterMax / std::pow(10.0, decimals)),
                                                    int16_t(decimals))));
    };
    if (digits.isEmpty()) return 0; // zero, whatever its sign or exponent
    if (negative) throw outOfRange();

    // Whole units are the digits before the point moved right by the decimals.
    const int unitDigits = pointAt + decimals;
    if (unitDigits <= 0) return 0;
    if (unitDigits > 5) throw outOfRange();
    long units = 0;
    for (int k = 0; k < unitDigits; ++k)
        units = units * 10 + (k < digits.size() ? digits[k].unicode() - '0' : 0);
    const bool beyondStep = digits.size() > unitDigits;
    if (units > RegisterMax || (units == RegisterMax && beyondStep)) throw outOfRange();
    return static_cast<uint16_t>(units);
}

uint16_t ParseDoubledValue(const QString& text) {
    return static_cast<uint16_t>(ParseInteger(text, 0, DoubledMax) / 2);
}

} // namespace qmt
