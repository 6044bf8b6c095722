// Files read back (the viewer's own CSV, other CSV, value logs), the sent
// stamps a clock step back leaves in place, and the live store's bound.

#include "core/Csv.h"
#include "core/CsvRead.h"
#include "core/Measure.h"

#include <QBuffer>
#include <QDateTime>

#include <gtest/gtest.h>

#include <cmath>

using namespace curvix;

namespace {

QByteArray exported(const Dataset& data, const CsvOptions& options = {}) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(writeCsv(data, INT64_MIN, INT64_MAX, buffer, options));
    return buffer.data();
}

int64_t local(int h, int m, int s, int ms = 0) {
    return QDateTime(QDate(2026, 10, 25), QTime(h, m, s, ms), Qt::LocalTime).toMSecsSinceEpoch();
}

} // namespace

TEST(CsvRead, TheViewersOwnExportReadsBackWithItsComments) {
    Dataset data;
    Channel& a = data.channel(1, QStringLiteral("Xs(k)1"));
    Channel& b = data.channel(34, QStringLiteral("ЦАП;2")); // a quoted name
    for (int i = 0; i < 5; ++i) {
        data.addSample(a, local(2, 0, i, 250), 1.5f * float(i));
        if (i != 2) data.addSample(b, local(2, 0, i, 250), -float(i)); // a missing field
    }
    CsvOptions options;
    options.comments = {QStringLiteral("# Диапазон;x")};
    Dataset back;
    const FileLoad load = loadDataFile(exported(data, options), back);
    ASSERT_TRUE(load.error.isEmpty()) << load.error.toStdString();
    EXPECT_TRUE(load.csv);
    EXPECT_EQ(load.rows, 5);
    EXPECT_EQ(load.skipped, 0);
    EXPECT_TRUE(back.fromFile());
    EXPECT_EQ(back.timeBase(), TimeBase::LocalTime);
    ASSERT_EQ(back.channels().size(), 2u);
    EXPECT_EQ(back.channels()[1]->name, QStringLiteral("ЦАП;2"));
    const Series& s = back.channels()[0]->samples;
    ASSERT_EQ(s.size(), 5);
    EXPECT_EQ(s.time(3), local(2, 0, 3, 250));
    EXPECT_EQ(s.value(3), 4.5f);
    EXPECT_EQ(back.channels()[1]->samples.size(), 4); // the empty field is no sample
    EXPECT_EQ(parseCsv(exported(data, options)).comments, options.comments);

    // Only the channels asked for.
    options.ids = {34};
    const QByteArray one = exported(data, options);
    EXPECT_FALSE(one.contains("Xs(k)1"));
    EXPECT_EQ(parseCsv(one).names, QStringList{QStringLiteral("ЦАП;2")});
}

TEST(CsvRead, OtherSeparatorsTimesAndBadRows) {
    struct Case {
        const char* name;
        QByteArray bytes;
        TimeBase base;
        int64_t t1; // time of the second good row
        float v1;
        int64_t skipped, firstSkipped;
    };
    const Case cases[] = {
        {"commas, seconds", "t,Xs(k)1,Xm(k)1\n0.5,1,2\n1.25,3.5,4\nbad,1,2\n", TimeBase::Elapsed,
         1250, 3.5f, 1, 4},
        {"semicolons, decimal commas", "time;A\r\n0,5;1,5\r\n1;2,5\r\n2;x\r\n3\r\n",
         TimeBase::Elapsed, 1000, 2.5f, 2, 4},
        {"ISO date-time",
         "# made elsewhere\nwhen,A\n2026-10-25 02:00:00.5,1\n"
         "2026-10-25T02:00:01,2\n2026-13-01 00:00:00,3\n",
         TimeBase::LocalTime, local(2, 0, 1), 2.0f, 1, 5},
        {"trailing separator", "t;A;\n1;2;\n2;3;\n", TimeBase::Elapsed, 2000, 3.0f, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Dataset data;
        const FileLoad load = loadDataFile(c.bytes, data);
        ASSERT_TRUE(load.error.isEmpty()) << load.error.toStdString();
        EXPECT_EQ(data.timeBase(), c.base);
        const Series& s = data.channels()[0]->samples;
        ASSERT_GE(s.size(), 2);
        EXPECT_EQ(s.time(1), c.t1);
        EXPECT_EQ(s.value(1), c.v1);
        EXPECT_EQ(load.skipped, c.skipped);
        EXPECT_EQ(load.firstSkipped, c.firstSkipped);
        EXPECT_EQ(data.counters().skippedLines, c.skipped);
    }
    // No header: nothing replaced.
    Dataset kept(TimeBase::Elapsed);
    kept.addSample(kept.channel(1), 0, 1);
    EXPECT_FALSE(loadDataFile(QByteArray("# only a comment\n"), kept).error.isEmpty());
    EXPECT_FALSE(loadDataFile(QByteArray("t;\n"), kept).error.isEmpty());
    EXPECT_EQ(kept.sampleCount(), 1);
    // A value log is still a value log.
    Dataset log;
    const FileLoad l = loadDataFile(QByteArray("  Время      OV1\r\n     0,00        1\r\n"), log);
    EXPECT_TRUE(l.error.isEmpty() || !l.csv); // the header is in Windows-1251 in real logs
}

TEST(SentStamps, AClockStepBackKeepsTheSentStampsInTheCsv) {
    // Summer time ends: 02:59:59 is followed by 02:00:00 again.
    Dataset data;
    Channel& c = data.channel(2, QStringLiteral("Xm(k)1"));
    Channel& d = data.channel(3, QStringLiteral("Y(k)1"));
    const int64_t stamps[] = {local(2, 59, 58), local(2, 59, 59), local(2, 59, 59) - 3'599'000,
                              local(2, 59, 59) - 3'598'000};
    for (int i = 0; i < 4; ++i) {
        data.addSample(c, stamps[i], float(i));
        data.addSample(d, stamps[i], float(10 + i));
    }
    // Drawn in order, each with its sent stamp.
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(c.samples.sentTime(i), stamps[i]);
        if (i > 0) {
            EXPECT_GE(c.samples.time(i), c.samples.time(i - 1));
        }
    }
    EXPECT_EQ(data.sentTime(c.samples.time(3)), stamps[3]);
    EXPECT_EQ(data.sentTime(c.samples.time(0)), stamps[0]);
    const QString csv = QString::fromUtf8(exported(data));
    const QStringList rows = csv.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 5);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(rows[i + 1], csvTime(TimeBase::LocalTime, stamps[i]) +
                                   QStringLiteral(";%1;%2").arg(i).arg(10 + i));
}

TEST(Retention, OldBlocksGoWholeAndClearKeepsTheChannels) {
    for (bool jumps : {false, true}) {
        SCOPED_TRACE(jumps ? "with time jumps" : "regular");
        Dataset data;
        Channel& c = data.channel(1, QStringLiteral("Xs(k)1"));
        c.visible = false;
        int64_t t = 0;
        const int n = 400'000; // 100 ms apart: 11 h
        for (int i = 0; i < n; ++i) {
            t += jumps && i % 150'000 == 0 ? int64_t(1) << 33 : 100;
            data.addSample(c, t, float(i % 1000));
        }
        const std::size_t before = data.memoryBytes();
        data.setRetention(3'600'000);
        const Series& s = c.samples;
        // Whole blocks: at most one block of samples older than an hour stays.
        EXPECT_LT(s.size(), 36'000 + 65'536 + 1);
        EXPECT_GE(s.size(), 36'000);
        EXPECT_GE(s.firstTime(), t - 3'600'000 - 65'536 * 100);
        EXPECT_EQ(s.lastTime(), t);
        EXPECT_LT(data.memoryBytes(), before / 2);
        // What stays is measured as before: the last 1000 samples are 0..999.
        const RangeStats r = rangeStats(s, s.time(s.size() - 1000), t);
        EXPECT_EQ(r.count, 1000);
        EXPECT_DOUBLE_EQ(r.mean, 499.5);
        float lo = 0, hi = 0;
        ASSERT_TRUE(s.minMax(0, s.size(), lo, hi));
        EXPECT_EQ(lo, 0.0f);
        EXPECT_EQ(hi, 999.0f);
        const Moments m = s.moments(0, s.size());
        EXPECT_EQ(m.count, s.size());
        // Appends go on into the pyramid after the drop (half an hour more).
        for (int i = 0; i < 18'000; ++i)
            data.addSample(c, t += 100, 5000.0f);
        ASSERT_TRUE(s.minMax(s.size() - 20, s.size(), lo, hi));
        EXPECT_EQ(lo, 5000.0f);
        EXPECT_EQ(s.firstOutside(0, s.size(), 0, 999), s.size() - 18'000);
        EXPECT_EQ(s.moments(s.size() - 18'000, s.size()).mean, 5000.0);

        data.clear();
        EXPECT_TRUE(data.empty());
        ASSERT_EQ(data.channels().size(), 1u);
        EXPECT_FALSE(data.channels()[0]->visible);
        EXPECT_EQ(data.channels()[0]->name, QStringLiteral("Xs(k)1"));
        data.addSample(c, t + 100, 1); // the run goes on after a clear
        EXPECT_EQ(s.size(), 1);
    }
}
