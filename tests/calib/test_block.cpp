// Coefficient arithmetic: the truncations and 16-bit words of a block, and the
// packed calibration date.
#include "calib/Calibration.h"
#include "dialogs/PackedDate.h"
#include "link/Errors.h"

#include <gtest/gtest.h>

namespace qmt {
namespace {

using Words = std::array<uint16_t, 3>;

TEST(CalibrationBlock, WorkedValuesOfTheNominalReadings) {
    const struct {
        double x1, y1, x2, y2;
        Words words;
    } cases[] = {
        {328, 421, 15599, 20000, {51116, 0, 0}},       // output current
        {328, -9830, 16056, 9830, {52428, 0, 8192}},   // output voltage
        {10000, 3827, -10000, 269, {40706, 5, 54024}}, // input voltage: gain 368386, offset -11512
        {0, 0, 1, 1, {0, 1, 0}},                       // the neutral block
        {0, 0, -1, 1, {0, 0xFFFF, 0}},                 // gain -1.0: both words of a negative gain
        {-1, 1, 0, 3, {32768, 0, 0xFFFF}},             // gain 0.5; offset -1.5 truncated to -1
    };
    for (const auto& c : cases)
        EXPECT_EQ(CalibrationBlock(c.x1, c.y1, c.x2, c.y2), c.words)
            << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2;
}

TEST(CalibrationBlock, EqualReadingsAreRefusedWithTheValue) {
    try {
        CalibrationBlock(328, -9830, 16056, -9830);
        FAIL() << "no error";
    } catch (const ECalibError& e) {
        // Not "out of range": each reading passed its own check.
        EXPECT_EQ(e.message(), QStringLiteral("Оба измеренных значения равны -9830!\nПроверьте "
                                              "подключение цепей!"));
    }
    // A gain beyond 32 bits is refused too rather than wrapped.
    EXPECT_THROW(CalibrationBlock(0, 0, 40000, 1), ECalibError);
}

TEST(PackedDate, BothLayoutsAndTheirLimits) {
    EXPECT_EQ(PackDate(21, 9, 2014), 0x3A75);
    EXPECT_EQ(PackDate(QDate(2026, 12, 9)), 9 + 32 + 12 * 64 + 26 * 1024);
    for (uint16_t packed : {uint16_t(0x3A75), uint16_t(0xE915)}) {
        const PackedDateFields d = UnpackDate(packed);
        EXPECT_TRUE(IsValidPackedDate(d));
        EXPECT_EQ(FormatPackedDate(d), QStringLiteral("21.09.14")) << packed;
    }
    EXPECT_EQ(FormatPackedDate(UnpackDate(PackDate(31, 12, 63))), QStringLiteral("31.12.63"));
    EXPECT_FALSE(IsValidPackedDate(UnpackDate(0)));      // year field 0
    EXPECT_FALSE(IsValidPackedDate(UnpackDate(0xFFFF))); // month 15: a calibration under way
    EXPECT_FALSE(IsValidPackedDate(UnpackDate(PackDate(29, 2, 13))));
    EXPECT_TRUE(IsValidPackedDate(UnpackDate(PackDate(29, 2, 12))));
}

} // namespace
} // namespace qmt
