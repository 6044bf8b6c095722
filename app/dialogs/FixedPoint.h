#pragma once
// Conversions of the dialogs' fields that ParseRegisterValue does not cover:
// fixed-point decimals (gains in hundredths, times in tenths) and times kept in
// 2 ms units. Both take back exactly the text the dialogs show.

#include <QString>

#include <cstdint>

namespace qmt {

// The decimal text ("1,5", "0.29", "1e2"; comma or point) in units of
// 10^-decimals, from the digits as written: digits below the step are cut
// ("1,507" gives 150 with 2 decimals), never rounded through a binary float.
// Not a number: "'<text>' is not a valid floating point value". Outside 0 to
// 65535 units: "Значение <text> выходит за пределы 0 - 655,35!" (for 2 decimals).
uint16_t ParseFixedPoint(const QString& text, int decimals);

// A time in milliseconds kept as a count of 2 ms (odd values round down). The
// text is read by ParseInteger over 0 to 131071, so that every register value
// shown as twice itself is taken back.
uint16_t ParseDoubledValue(const QString& text);

} // namespace qmt
