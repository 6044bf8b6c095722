// The value log's lines byte for byte and its file: created, truncated,
// written one line at a time, failures reported.
#include "common/Cp1251.h"
#include "monitor/ValueLog.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using qmt::ValueLog;

QByteArray cp(const char* utf8) {
    return qmt::toCp1251(QString::fromUtf8(utf8));
}

TEST(ValueLogLines, ExampleWithOneRegulatorAndOneModuleChannel) {
    EXPECT_EQ(ValueLog::headerLine({"Xs(k)1", QString::fromUtf8("АЦП1")}),
              cp("  Время     Xs(k)1     АЦП1\r\n"));
    // "Время" and "АЦП" are single bytes in Windows-1251.
    EXPECT_EQ(ValueLog::headerLine({}), QByteArray("  \xC2\xF0\xE5\xEC\xFF  \r\n"));
    EXPECT_EQ(ValueLog::headerLine({QString::fromUtf8("ЦАП")}).mid(9, 9),
              QByteArray("      \xD6\xC0\xCF"));

    const QDateTime start = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, Qt::UTC);
    EXPECT_EQ(ValueLog::dataLine(ValueLog::elapsedHundredths(start, start.addMSecs(5237)),
                                 {"100", "-20"}),
              QByteArray("     5,23      100      -20\r\n"));
}

TEST(ValueLogLines, TimeFieldIsTruncatedHundredthsWithComma) {
    const QDateTime start = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, Qt::UTC);
    struct Case {
        qint64 ms;
        const char* field;
    } cases[] = {
        {0, "     0,00"},    {9, "     0,00"},          {10, "     0,01"},
        {3999, "     3,99"}, {4000, "     4,00"},       {61'005, "    61,00"},
        {-50, "    -0,05"},  {12'345'678, " 12345,67"}, {1'234'567'890, "1234567,89"},
    };
    for (const Case& c : cases) {
        const QByteArray line =
            ValueLog::dataLine(ValueLog::elapsedHundredths(start, start.addMSecs(c.ms)), {});
        EXPECT_EQ(line, QByteArray(c.field) + "\r\n") << c.ms << " ms";
    }
    // The zone of the two readings does not matter, only the instant.
    EXPECT_EQ(ValueLog::elapsedHundredths(start.toLocalTime(), start.addMSecs(4000)), 400);
}

TEST(ValueLogLines, EveryFieldNineWideLongerTextsWhole) {
    QStringList names, texts;
    for (int p = 1; p <= 3; ++p)
        for (const char* n : {"Xs(k)", "Xm(k)", "Y(k)", "STATE", "Dmin", "Dmax", "OV"})
            names << QString::fromLatin1(n) + QString::number(p);
    for (const char* n : {"АЦП1", "АЦП2", "АЦП3", "ЦАП"})
        names << QString::fromUtf8(n);
    for (int i = 0; i < 25; ++i)
        texts << QString::number(i * 1111 - 9999);
    const QByteArray header = ValueLog::headerLine(names);
    const QByteArray data = ValueLog::dataLine(400, texts);
    EXPECT_EQ(header.size(), 234 + 2);
    EXPECT_EQ(data.size(), 234 + 2);
    EXPECT_TRUE(header.startsWith(cp("  Время     Xs(k)1   Xm(k)1    Y(k)1   STATE1    Dmin1")));
    EXPECT_TRUE(data.endsWith("    16665\r\n"));

    EXPECT_EQ(ValueLog::dataLine(0, {"1234567890", "5"}), QByteArray("     0,00"
                                                                     "1234567890"
                                                                     "        5\r\n"));
    EXPECT_EQ(ValueLog::dataLine(0, {"123456789"}), QByteArray("     0,00123456789\r\n"));
}

TEST(ValueLogLines, CharactersWithoutCodePageFormAreReplacedNotDropped) {
    EXPECT_EQ(qmt::toCp1251(QString::fromUtf8("a\xE4\xB8\xAD"
                                              "b№")),
              QByteArray("a?b\xB9"));
    EXPECT_EQ(qmt::toCp1251(QString()), QByteArray());
}

TEST(ValueLogFile, LinesReachTheFileAtOnceAndReopeningTruncates) {
    QTemporaryDir dir;
    const QString path = dir.filePath("run.log");
    const QDateTime start = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, Qt::UTC);
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("an older run that is much longer than the new one\r\n");
    }
    ValueLog log;
    ASSERT_TRUE(log.open(path, start));
    EXPECT_TRUE(log.isOpen());
    EXPECT_EQ(QFile(path).size(), 0);
    ASSERT_TRUE(log.writeHeader({"OV3"}));
    ASSERT_TRUE(log.writeData(start.addMSecs(1000), {"1"}));
    // Read while still open: nothing is held in a buffer.
    QFile in(path);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    EXPECT_EQ(in.readAll(), cp("  Время        OV3\r\n     1,00        1\r\n"));
    log.close();
    EXPECT_FALSE(log.isOpen());
    EXPECT_FALSE(log.writeData(start, {"1"}));
}

TEST(ValueLogFile, CreationAndWriteFailuresAreReported) {
    ValueLog log;
    const QDateTime start = QDateTime::currentDateTimeUtc();
    EXPECT_FALSE(log.open("/nonexistent-folder/run.log", start));
    // A folder nobody may create files in, root included.
    EXPECT_FALSE(log.open("/proc/run.log", start));
    QTemporaryDir dir;
    EXPECT_FALSE(log.open(dir.path(), start));
    EXPECT_FALSE(log.isOpen());

    // A full device takes the open but refuses the line.
    ASSERT_TRUE(log.open("/dev/full", start));
    EXPECT_FALSE(log.writeHeader({"Xs(k)1"}));
    EXPECT_FALSE(log.writeData(start, {"1"}));
}

} // namespace
