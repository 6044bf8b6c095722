// The conversions that take back what the PID dialog shows: gains in
// hundredths, derivative times in tenths, and times in 2 ms units.
#include "dialogs/FixedPoint.h"
#include "link/Errors.h"
#include "link/RegisterAccess.h"

#include <gtest/gtest.h>

namespace {

using qmt::ParseDoubledValue;
using qmt::ParseFixedPoint;

std::string failure(const std::function<void()>& action) {
    try {
        action();
    } catch (const qmt::Exception& e) {
        return e.message().toStdString();
    }
    return "(no error)";
}

TEST(FixedPoint, EveryShownRegisterValueReadsBackUnchanged) {
    // As the dialog shows them: r x 0.01 with two decimals, r x 0.1 with one.
    for (int r = 0; r <= 65535; ++r) {
        const QString gain = qmt::FormatFloat(float(r * 0.01), 2);
        const QString derivative = qmt::FormatFloat(float(r * 0.1), 1);
        ASSERT_EQ(ParseFixedPoint(gain, 2), r) << gain.toStdString();
        ASSERT_EQ(ParseFixedPoint(derivative, 1), r) << derivative.toStdString();
        ASSERT_EQ(ParseDoubledValue(QString::number(2 * r)), r);
    }
}

TEST(FixedPoint, DecimalTextsAsWritten) {
    const struct {
        const char* text;
        int decimals;
        int units;
    } cases[] = {
        {"1,5", 2, 150},       {"1.5", 2, 150},        {"0,29", 2, 29},       {"0.57", 2, 57},
        {"1,507", 2, 150},     {"2,55", 1, 25},        {"2,5", 1, 25},        {"655,35", 2, 65535},
        {"6553,5", 1, 65535},  {" 3 ", 2, 300},        {"+4", 1, 40},         {",5", 2, 50},
        {"5,", 2, 500},        {"0,001", 2, 0},        {"000123,4", 1, 1234}, {"1e2", 2, 10000},
        {"1,5E-1", 2, 15},     {"65535e-2", 2, 65535}, {"-0", 2, 0},          {"-0,000", 1, 0},
        {"1e-99999999", 2, 0}, {"0e99999999", 1, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseFixedPoint(QString::fromUtf8(c.text), c.decimals), c.units) << c.text;
    }
}

TEST(FixedPoint, OutOfRangeAndNonNumbersAreRefused) {
    const struct {
        const char* text;
        int decimals;
        const char* message;
    } cases[] = {
        {"700", 2, "Значение 700 выходит за пределы 0 - 655,35!"},
        {"655,351", 2, "Значение 655,351 выходит за пределы 0 - 655,35!"},
        {"655,36", 2, "Значение 655,36 выходит за пределы 0 - 655,35!"},
        {"-0,5", 2, "Значение -0,5 выходит за пределы 0 - 655,35!"},
        {"-0,001", 2, "Значение -0,001 выходит за пределы 0 - 655,35!"},
        {"6553,6", 1, "Значение 6553,6 выходит за пределы 0 - 6553,5!"},
        {"1e99999999", 1, "Значение 1e99999999 выходит за пределы 0 - 6553,5!"},
        {"abc", 2, "'abc' is not a valid floating point value"},
        {"", 2, "'' is not a valid floating point value"},
        {"1,2,3", 2, "'1,2,3' is not a valid floating point value"},
        {"12abc", 1, "'12abc' is not a valid floating point value"},
        {"1e", 1, "'1e' is not a valid floating point value"},
        {",", 2, "',' is not a valid floating point value"},
        {"- 1", 2, "'- 1' is not a valid floating point value"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(failure([&] { ParseFixedPoint(QString::fromUtf8(c.text), c.decimals); }),
                  c.message);
    }
}

TEST(FixedPoint, TwoMillisecondUnits) {
    EXPECT_EQ(ParseDoubledValue(QStringLiteral("7")), 3);
    EXPECT_EQ(ParseDoubledValue(QStringLiteral("1")), 0);
    EXPECT_EQ(ParseDoubledValue(QStringLiteral("131071")), 65535);
    EXPECT_EQ(ParseDoubledValue(QStringLiteral(" ")), 0);
    EXPECT_EQ(ParseDoubledValue(QStringLiteral("12abc")), 6); // as kind 1 reads it
    EXPECT_EQ(failure([] { ParseDoubledValue(QStringLiteral("131072")); }),
              "Значение 131072 выходит за пределы 0 - 131071!");
    EXPECT_EQ(failure([] { ParseDoubledValue(QStringLiteral("-2")); }),
              "Значение -2 выходит за пределы 0 - 131071!");
    EXPECT_EQ(failure([] { ParseDoubledValue(QStringLiteral("99999999999999999999")); }),
              "Значение 99999999999999999999 выходит за пределы 0 - 131071!");
    EXPECT_EQ(failure([] { ParseDoubledValue(QStringLiteral("abc")); }),
              "\" abc \" не является целым числом");
}

} // namespace
