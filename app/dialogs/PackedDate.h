#pragma once
// The module's packed dates (manufacture and calibration). Modules of today
// set bit 5 and keep the month in bits 6-9 and the year in bits 10-15; older
// ones leave bit 5 clear and keep the month in bits 8-11, the year in 12-15.

#include <QDate>
#include <QString>

#include <cstdint>

namespace qmt {

struct PackedDateFields {
    int day = 0;
    int month = 0;
    int year = 0; // within the century, as stored
};

PackedDateFields UnpackDate(uint16_t packed);
// A calendar date whose year is the year field itself: a year field of 0 is not one.
bool IsValidPackedDate(const PackedDateFields& date);
// "dd.mm.yy".
QString FormatPackedDate(const PackedDateFields& date);

// The layout with bit 5 set, kept to 16 bits.
uint16_t PackDate(int day, int month, int year);
uint16_t PackDate(const QDate& date);
// Years a packed date can hold: a year field of 0 is no valid date (2001 to
// 2063 as written with two digits).
constexpr int FirstPackedYear = 1;
constexpr int LastPackedYear = 63;

} // namespace qmt
