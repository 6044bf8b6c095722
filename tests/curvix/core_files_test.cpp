// Value logs in the program's layout, and the CSV the viewer exports.

#include "common/Cp1251.h"
#include "core/Csv.h"
#include "core/ValueLog.h"

#include <QBuffer>
#include <QDateTime>

#include <gtest/gtest.h>

#include <cmath>

using namespace curvix;

namespace {

// A line as the program builds it: 9-character right-aligned fields, CR LF, Windows-1251.
QByteArray line(const QStringList& fields) {
    QString text;
    for (const QString& f : fields)
        text += f.rightJustified(9);
    const std::string bytes = qmt::toCp1251(text).toStdString();
    return QByteArray(bytes.data(), qsizetype(bytes.size())) + "\r\n";
}

QStringList allChannels() {
    QStringList names;
    for (int p = 1; p <= 3; ++p)
        for (const char* base : {"Xs(k)", "Xm(k)", "Y(k)", "STATE", "Dmin", "Dmax", "OV"})
            names << QString::fromLatin1(base) + QString::number(p);
    names << QStringLiteral("АЦП1") << QStringLiteral("АЦП2") << QStringLiteral("АЦП3")
          << QStringLiteral("ЦАП");
    return names;
}

} // namespace

TEST(ValueLog, TheExampleOfTwoChannels) {
    const QByteArray bytes =
        line({QStringLiteral("  Время  "), QStringLiteral("Xs(k)1"), QStringLiteral("АЦП1")}) +
        line({QStringLiteral("5,23"), QStringLiteral("100"), QStringLiteral("-20")}) +
        line({QStringLiteral("6,23"), QStringLiteral("101"), QStringLiteral("-21")});
    ASSERT_EQ(bytes.left(27), QByteArray("  \xC2\xF0\xE5\xEC\xFF     Xs(k)1     \xC0\xD6\xCF\x31"));
    const ValueLog log = parseValueLog(bytes);
    ASSERT_TRUE(log.error.isEmpty()) << log.error.toStdString();
    EXPECT_EQ(log.names, QStringList({QStringLiteral("Xs(k)1"), QStringLiteral("АЦП1")}));
    ASSERT_EQ(log.timesMs.size(), 2u);
    EXPECT_EQ(log.timesMs[0], 5230);
    EXPECT_EQ(log.columns[0][0], 100.0f);
    EXPECT_EQ(log.columns[1][1], -21.0f);
    EXPECT_EQ(log.skipped, 0);
}

TEST(ValueLog, EveryChannelWithStateWordsInHexadecimal) {
    const QStringList names = allChannels();
    ASSERT_EQ(names.size(), 25);
    QByteArray bytes = line(QStringList{QStringLiteral("  Время  ")} + names);
    for (int k = 0; k < 3; ++k) {
        QStringList cells{QString::number(4.0 + k, 'f', 2).replace('.', ',')};
        for (int p = 0; p < 3; ++p)
            cells << QString::number(100 * (p + 1) + k) << QStringLiteral("-2")
                  << QStringLiteral("7") << QStringLiteral("8001") << QStringLiteral("1")
                  << QStringLiteral("0") << QStringLiteral("0");
        cells << QStringLiteral("1200") << QStringLiteral("-32768") << QStringLiteral("32767")
              << QStringLiteral("FFFF"); // not hexadecimal in a value column
        bytes += line(cells);
    }
    // The header and a data line are 26 fields of 9 characters.
    EXPECT_EQ(bytes.indexOf("\r\n"), 234);
    const ValueLog log = parseValueLog(bytes);
    EXPECT_EQ(log.names, names);
    EXPECT_TRUE(log.timesMs.empty()); // "FFFF" in ЦАП makes every line malformed
    EXPECT_EQ(log.skipped, 3);
    EXPECT_EQ(log.firstSkipped, 2);

    bytes.replace("     FFFF\r\n", "       -1\r\n");
    const ValueLog good = parseValueLog(bytes);
    ASSERT_EQ(good.timesMs.size(), 3u);
    EXPECT_EQ(good.timesMs[2], 6000);
    EXPECT_EQ(good.columns[3][0], float(0x8001));     // STATE1
    EXPECT_EQ(good.columns[7 + 3][0], float(0x8001)); // STATE2
    EXPECT_EQ(good.columns[4][0], 1.0f);
    EXPECT_EQ(good.columns[7][2], 202.0f);  // Xs(k)2
    EXPECT_EQ(good.columns[14][1], 301.0f); // Xs(k)3
    EXPECT_EQ(good.columns[22][0], -32768.0f);

    Dataset data(TimeBase::Elapsed);
    loadValueLog(good, data);
    ASSERT_EQ(data.channels().size(), 25u);
    EXPECT_EQ(data.channels().front()->name, QStringLiteral("Xs(k)1"));
    EXPECT_EQ(data.channels().back()->name, QStringLiteral("ЦАП"));
    EXPECT_EQ(data.channels().back()->samples.size(), 3);
}

TEST(ValueLog, MalformedLinesAreSkippedAndCounted) {
    QByteArray bytes =
        line({QStringLiteral("  Время  "), QStringLiteral("STATE1"), QStringLiteral("OV1")});
    bytes += line({QStringLiteral("0,50"), QStringLiteral("A"), QStringLiteral("1")});
    bytes += "garbage\r\n"; // too few fields
    bytes += line({QStringLiteral("1,5x"), QStringLiteral("0"), QStringLiteral("0")}); // bad time
    bytes += line({QStringLiteral("2,00"), QStringLiteral("G"), QStringLiteral("0")}); // not hex
    bytes += line(
        {QStringLiteral("2,50"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("9")});
    bytes += "\r\n"; // blank lines are not errors
    bytes += line({QStringLiteral("3,00"), QStringLiteral("1234"), QStringLiteral("1")});
    bytes += "   3,50      FF"; // cut off by a crash: no line end, too short
    // Fields of 9 characters that touch: cut at the grid.
    bytes += "\r\n123456,78ABCDEFGHI        1\r\n";
    const ValueLog log = parseValueLog(bytes);
    ASSERT_TRUE(log.error.isEmpty());
    EXPECT_EQ(log.skipped, 6);
    EXPECT_EQ(log.firstSkipped, 3);
    ASSERT_EQ(log.timesMs.size(), 2u);
    EXPECT_EQ(log.timesMs[0], 500);
    EXPECT_EQ(log.columns[0][0], 10.0f);
    EXPECT_EQ(log.timesMs[1], 3000);
    EXPECT_EQ(log.columns[0][1], float(0x1234));
}

TEST(ValueLog, FilesThatAreNoLogs) {
    EXPECT_FALSE(parseValueLog(QByteArray()).error.isEmpty());
    EXPECT_FALSE(parseValueLog("\r\n\r\n").error.isEmpty());
    EXPECT_FALSE(parseValueLog("[Port]\r\nName=/dev/ttyS0\r\n").error.isEmpty());
    // A header alone is a log without lines (a run stopped at once).
    const ValueLog empty =
        parseValueLog(line({QStringLiteral("  Время  "), QStringLiteral("OV3")}));
    EXPECT_TRUE(empty.error.isEmpty());
    EXPECT_TRUE(empty.timesMs.empty());
    // LF alone is taken too.
    const ValueLog lf = parseValueLog("  \xC2\xF0\xE5\xEC\xFF        OV3\n     1,00        1\n");
    ASSERT_EQ(lf.timesMs.size(), 1u);
}

TEST(ValueLog, ElapsedTimes) {
    const struct {
        const char* text;
        bool ok;
        int64_t ms;
    } cases[] = {{"5,23", true, 5230},  {"0,00", true, 0},
                 {"-0,50", true, -500}, {"1000000,00", true, 1000000000},
                 {"4.00", true, 4000},  {"7", true, 7000},
                 {"1,2345", false, 0},  {",5", false, 0},
                 {"1,2,3", false, 0},   {"", false, 0}};
    for (const auto& c : cases) {
        int64_t ms = -1;
        EXPECT_EQ(parseElapsed(QString::fromLatin1(c.text), ms), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(ms, c.ms) << c.text;
        }
    }
}

TEST(Csv, RowsPerStampWithEmptyFieldsWhereAChannelHasNone) {
    Dataset data(TimeBase::Elapsed);
    Channel& a = data.channel(1, QStringLiteral("Xs(k)1"));
    Channel& b = data.channel(2, QStringLiteral("АЦП;1"));
    data.addSample(a, 0, 1.5f);
    data.addSample(b, 0, -20.0f);
    data.addSample(a, 1000, 0.1f);
    data.addSample(b, 2500, std::nanf(""));
    data.addSample(a, 2500, 1e20f);
    data.addSample(a, 2505, 3.0f);

    auto csv = [&](int64_t t0, int64_t t1) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        EXPECT_TRUE(writeCsv(data, t0, t1, buffer));
        // The byte-order mark lets a spreadsheet take the file as UTF-8.
        EXPECT_TRUE(buffer.data().startsWith("\xEF\xBB\xBF"));
        return QString::fromUtf8(buffer.data().mid(3));
    };
    EXPECT_EQ(csv(INT64_MIN, INT64_MAX), QStringLiteral("Время;Xs(k)1;\"АЦП;1\"\r\n"
                                                        "0,00;1,5;-20\r\n"
                                                        "1,00;0,1;\r\n"
                                                        "2,50;1e+20;\r\n"
                                                        "2,505;3;\r\n"));
    EXPECT_EQ(csv(1000, 2500), QStringLiteral("Время;Xs(k)1;\"АЦП;1\"\r\n"
                                              "1,00;0,1;\r\n"
                                              "2,50;1e+20;\r\n"));
}

TEST(Csv, LocalTimesAndNumbers) {
    const QDateTime at(QDate(2026, 12, 9), QTime(12, 30, 15, 250));
    EXPECT_EQ(csvTime(TimeBase::LocalTime, at.toMSecsSinceEpoch()),
              QStringLiteral("09.12.2026 12:30:15,250"));
    EXPECT_EQ(csvTime(TimeBase::Elapsed, -1500), QStringLiteral("-1,50"));
    EXPECT_EQ(csvNumber(-32768.0f), QStringLiteral("-32768"));
    EXPECT_EQ(csvNumber(0.3f), QStringLiteral("0,3"));
    EXPECT_EQ(csvNumber(INFINITY), QString());
}
