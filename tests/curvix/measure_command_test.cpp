// curvix --measure: the figures of a file's range printed by the built viewer
// without a window, as the panel's code makes them.

#include "core/CsvRead.h"
#include "core/Measure.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace curvix;

namespace {

struct Printed {
    int code = -1;
    QStringList out;
    QString err;
};

Printed runViewer(const QStringList& args) {
    QProcess p;
    // No display at all: a window could not even be made.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("none-at-all"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(CURVIX_FILE), args);
    EXPECT_TRUE(p.waitForFinished(20000));
    Printed r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out =
        QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace

TEST(MeasureCommand, PrintsTheRangeAsThePanelShowsIt) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("step.csv"));
    // The set point 0 → 100 at 20 s, the process value a 10 s first-order lag.
    QByteArray csv = "time,Xs(k)1,Xm(k)1\n";
    for (int k = 0; k <= 1200; ++k) {
        const double t = k / 10.0;
        csv += QByteArray::number(t, 'f', 1) + ',' + (t < 20 ? "0" : "100") + ',' +
               QByteArray::number(t < 20 ? 0.0 : 100 * (1 - std::exp(-(t - 20) / 10)), 'f', 4) +
               '\n';
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(csv);
    file.close();

    const Printed text =
        runViewer({QStringLiteral("--measure"), path, QStringLiteral("--from"),
                   QStringLiteral("10"), QStringLiteral("--to"), QStringLiteral("119,9")});
    ASSERT_EQ(text.code, 0) << text.err.toStdString();
    Dataset data;
    ASSERT_TRUE(loadDataFile(path, data).error.isEmpty());
    EXPECT_EQ(text.out, measurementReport(data, measure(data, 10'000, 119'900), false));
    // 10·ln 9 s from 10 % to 90 %.
    EXPECT_TRUE(text.out.contains(QStringLiteral("ПИД1: Нарастание 10–90 %, с = 21,972")))
        << text.out.join(QLatin1Char('\n')).toStdString();

    const Printed table = runViewer({QStringLiteral("--csv"), QStringLiteral("--measure"), path});
    ASSERT_EQ(table.code, 0);
    EXPECT_EQ(table.out.value(0), QStringLiteral("Объект;Показатель;Значение"));
    EXPECT_TRUE(table.out.contains(QStringLiteral("Xm(k)1;Отсчётов;1201")));

    struct Bad {
        QStringList args;
        int code;
    };
    const Bad bad[] = {
        {{QStringLiteral("--measure"), dir.filePath(QStringLiteral("no.csv"))}, 1},
        {{QStringLiteral("--measure"), path, QStringLiteral("--from"), QStringLiteral("12abc")}, 2},
        {{QStringLiteral("--measure"), path, QStringLiteral("--to")}, 2},
        {{QStringLiteral("--measure"), path, QStringLiteral("--from"), QStringLiteral("50"),
          QStringLiteral("--to"), QStringLiteral("40")},
         2}};
    for (const Bad& b : bad) {
        const Printed r = runViewer(b.args);
        EXPECT_EQ(r.code, b.code) << b.args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("curvix: "))) << r.err.toStdString();
    }
}
