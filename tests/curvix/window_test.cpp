// The viewer's window fed with records in process: curves, legend, follow and
// pause, cursors, the right-hand axis, export, value logs, and how it looks.

#include "TextFit.h"
#include "TryExpect.h"
#include "WindowTestKit.h"

#include "common/CheckBox.h"
#include "common/Cp1251.h"
#include "common/TrendProtocol.h"
#include "ui/CurvixWindow.h"
#include "ui/Startup.h"

#include <qcustomplot.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

using namespace curvix;

using namespace curvix::test;

TEST_F(CurvixWindowTest, LiveCurvesFollowTheNewestSamples) {
    window.applyRecords(handOff(900));
    window.refresh();
    QCustomPlot* plot = window.plot();
    ASSERT_EQ(plot->graphCount(), 3);
    EXPECT_EQ(child<qmt::CheckBox>(&window, "chbChannel31")->text(), QStringLiteral("АЦП1"));
    // Ten minutes up to the newest sample.
    int64_t t0, t1;
    window.visibleRange(t0, t1);
    EXPECT_EQ(t1, msAt(12 * 3600 + 899));
    EXPECT_EQ(t0, t1 - 600'000);
    EXPECT_LE(plot->yAxis->range().lower, -399.0);
    EXPECT_GE(plot->yAxis->range().upper, 500.0);
    ASSERT_EQ(window.dataset().startMarks().size(), 1u);
    EXPECT_TRUE(window.statusText().contains(QStringLiteral("Каналов: 3, отсчётов: 2700")));
    window.setCursorAt(1, msAt(12 * 3600 + 700));
    window.setCursorAt(2, msAt(12 * 3600 + 730));
    plot->replot();
    grab(&window, QStringLiteral("curvix_live.png"));
    EXPECT_EQ(qmt::test::clippedTexts(&window).join(QLatin1Char('\n')).toStdString(), "");

    // Paused, new samples leave the view alone; resumed, it jumps to them.
    child<QPushButton>(&window, "btFollow")->click();
    EXPECT_FALSE(window.following());
    EXPECT_EQ(child<QPushButton>(&window, "btFollow")->text(), QStringLiteral("Следить"));
    std::vector<Record> more;
    for (const Record& r : handOff(960)) {
        if (r.type == RecordType::Sample && r.stamp.hour == 12 && r.stamp.minute >= 15)
            more.push_back(r);
    }
    window.applyRecords(more);
    window.refresh();
    int64_t p0, p1;
    window.visibleRange(p0, p1);
    EXPECT_EQ(p1, t1);
    child<QPushButton>(&window, "btFollow")->click();
    window.visibleRange(p0, p1);
    EXPECT_EQ(p1, msAt(12 * 3600 + 959));

    // The whole run.
    child<QPushButton>(&window, "btFullView")->click();
    window.visibleRange(p0, p1);
    EXPECT_EQ(p0, msAt(12 * 3600));
}

TEST_F(CurvixWindowTest, CursorsShowValuesAndDifferences) {
    window.applyRecords(handOff(120));
    window.refresh();
    window.setCursorAt(1, msAt(12 * 3600 + 10) + 500); // between samples: the one before
    window.setCursorAt(2, msAt(12 * 3600 + 31));
    EXPECT_EQ(label("lbCursor1"), QStringLiteral("Курсор 1: 12:00:10,500"));
    EXPECT_EQ(label("lbCursor2"), QStringLiteral("Курсор 2: 12:00:31,000"));
    EXPECT_EQ(label("lbDelta"), QStringLiteral("Δt: 20,500 с"));
    const double y10 = std::round(400 * std::sin(10 / 20.0)),
                 y31 = std::round(400 * std::sin(31 / 20.0));
    EXPECT_EQ(label("lbValue1_10"), QString::number(y10));
    EXPECT_EQ(label("lbValue2_10"), QString::number(y31));
    EXPECT_EQ(label("lbDelta_10"), QString::number(y31 - y10));
    EXPECT_EQ(label("lbValue1_31"), QStringLiteral("0"));
    EXPECT_EQ(label("lbDelta_31"), QStringLiteral("1"));

    // A hidden channel shows nothing under the cursors.
    child<qmt::CheckBox>(&window, "chbChannel10")->userClick();
    EXPECT_FALSE(window.plot()->graph(1)->visible());
    EXPECT_EQ(label("lbValue1_10"), QStringLiteral("—"));

    child<QPushButton>(&window, "btClearCursors")->click();
    EXPECT_EQ(label("lbCursor1"), QStringLiteral("Курсор 1: —"));
    EXPECT_EQ(label("lbValue1_1"), QStringLiteral("—"));

    // A click on the curves places cursor 1, a right click cursor 2.
    QCustomPlot* plot = window.plot();
    const QPoint middle = plot->axisRect()->rect().center();
    QTest::mouseClick(plot, Qt::LeftButton, {}, middle);
    QTest::mouseClick(plot, Qt::RightButton, {}, middle + QPoint(40, 0));
    EXPECT_NE(label("lbCursor1"), QStringLiteral("Курсор 1: —"));
    EXPECT_NE(label("lbCursor2"), QStringLiteral("Курсор 2: —"));
    EXPECT_TRUE(window.following()); // a click is no pan
}

TEST_F(CurvixWindowTest, ARightAxisScalesItsOwnChannels) {
    window.applyRecords(handOff(120));
    window.refresh();
    QCustomPlot* plot = window.plot();
    EXPECT_FALSE(plot->yAxis2->visible());
    child<qmt::CheckBox>(&window, "chbRightAxis31")->userClick();
    EXPECT_TRUE(plot->yAxis2->visible());
    EXPECT_EQ(plot->graph(2)->valueAxis(), plot->yAxis2);
    EXPECT_LT(plot->yAxis2->range().upper, 2.0); // the 0/1 bit fills the right axis
    EXPECT_GE(plot->yAxis2->range().upper, 1.0);
    EXPECT_GE(plot->yAxis->range().upper, 500.0);
}

TEST_F(CurvixWindowTest, WheelAndDragTakeTheViewFromTheFollowing) {
    window.applyRecords(handOff(300));
    window.refresh();
    QCustomPlot* plot = window.plot();
    auto wheel = [&](QPoint at) {
        QWheelEvent event(at, plot->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, {},
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(plot, &event);
    };
    const QRect area = plot->axisRect()->rect();
    wheel(QPoint(area.center().x(), area.bottom() + 10)); // over the time axis: time only
    EXPECT_FALSE(window.following());
    EXPECT_TRUE(window.autoY());
    wheel(area.center()); // over the curves: both axes, so Y is the user's now
    EXPECT_FALSE(window.autoY());
    EXPECT_EQ(window.viewHistorySize(), 1); // one turn of the wheel, one step back
    child<QPushButton>(&window, "btFullView")->click();
    EXPECT_TRUE(window.autoY());
    EXPECT_TRUE(window.following());
}

TEST_F(CurvixWindowTest, ExportOfAllDataAndOfTheVisibleRange) {
    window.applyRecords(handOff(120));
    window.refresh();
    const QString all = folder.filePath(QStringLiteral("all.csv"));
    const QString part = folder.filePath(QStringLiteral("part.csv"));
    prompts.saveAnswers = {all, part};
    window.miExportAllClick();
    window.setVisibleRange(msAt(12 * 3600 + 10), msAt(12 * 3600 + 19));
    window.miExportVisibleClick();
    ASSERT_EQ(prompts.saveRequests.size(), 2u);
    EXPECT_EQ(prompts.saveRequests[0].defaultSuffix, QStringLiteral("csv"));

    auto lines = [](const QString& path) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return QString::fromUtf8(f.readAll().mid(3))
            .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    };
    const QStringList a = lines(all), p = lines(part);
    ASSERT_EQ(a.size(), 121);
    EXPECT_EQ(a[0], QStringLiteral("Время;Xs(k)1;Y(k)2;АЦП1"));
    EXPECT_EQ(a[1], QStringLiteral("09.12.2026 12:00:00,000;500;0;0"));
    ASSERT_EQ(p.size(), 11);
    EXPECT_TRUE(p[1].startsWith(QStringLiteral("09.12.2026 12:00:10,000;500;")))
        << p[1].toStdString();

    prompts.saveAnswers = {QStringLiteral("/nonexistent/x.csv")};
    window.miExportAllClick();
    EXPECT_EQ(prompts.lastText(), QStringLiteral("Ошибка записи в файл /nonexistent/x.csv"));

    const QString png = folder.filePath(QStringLiteral("view.png"));
    prompts.saveAnswers = {png};
    window.miSavePngClick();
    QImage image(png);
    EXPECT_EQ(image.size(), window.plot()->size());
}

TEST_F(CurvixWindowTest, AValueLogOpensInAWindowOfItsOwn) {
    QByteArray log;
    auto line = [&](const QStringList& fields) {
        QString text;
        for (const QString& f : fields)
            text += f.rightJustified(9);
        const std::string b = qmt::toCp1251(text).toStdString();
        log += QByteArray(b.data(), qsizetype(b.size())) + "\r\n";
    };
    line({QStringLiteral("  Время  "), QStringLiteral("Xs(k)1"), QStringLiteral("Xm(k)1"),
          QStringLiteral("STATE1"), QStringLiteral("OV1"), QStringLiteral("АЦП1")});
    for (int k = 0; k < 600; ++k) {
        line({QString::number(4.0 + k, 'f', 2).replace('.', ','), QStringLiteral("1000"),
              QString::number(int(1000 - 900 * std::exp(-k / 60.0))),
              QStringLiteral("%1").arg(k % 8, 0, 16), QString::number(k / 4 % 2),
              QString::number(k % 300)});
        if (k == 100) log += "     xx,00 broken\r\n";
    }
    const QString path = folder.filePath(QStringLiteral("night.log"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(log);
    file.close();

    prompts.openAnswers = {path};
    window.miOpenLogClick();
    CurvixWindow* opened = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* c = qobject_cast<CurvixWindow*>(w); c && c != &window) opened = c;
    ASSERT_NE(opened, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(opened));
    QMT_TRY_ASSERT_EQ(opened->windowTitle(), QStringLiteral("CURVIX — night.log"));
    EXPECT_EQ(opened->dataset().channels().size(), 5u);
    EXPECT_EQ(opened->dataset().timeBase(), TimeBase::Elapsed);
    EXPECT_TRUE(opened->statusText().contains(QStringLiteral("Пропущено строк: 1 (первая: 103)")))
        << opened->statusText().toStdString();
    int64_t t0, t1;
    opened->visibleRange(t0, t1);
    EXPECT_EQ(t0, 4000);
    EXPECT_EQ(t1, 603'000);
    EXPECT_TRUE(window.dataset().empty()); // the live window is untouched
    child<qmt::CheckBox>(opened, "chbRightAxis4")->userClick();
    opened->setCursorAt(1, 100'000);
    opened->plot()->replot();
    grab(opened, QStringLiteral("curvix_log.png"));
    EXPECT_EQ(qmt::test::clippedTexts(opened).join(QLatin1Char('\n')).toStdString(), "");
    opened->close();

    // Not a log: one message, no window.
    const QString ini = folder.filePath(QStringLiteral("QMT584_View.ini"));
    QFile other(ini);
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("[Port]\r\nName=/dev/ttyS0\r\n");
    other.close();
    const int before = int(QApplication::topLevelWidgets().size());
    prompts.openAnswers = {ini};
    window.miOpenLogClick();
    QMT_TRY_ASSERT_EQ(prompts.lastText(),
                      ini + QStringLiteral(":\nСтрока 1 не заголовок журнала значений"));
    QMT_TRY_ASSERT(int(QApplication::topLevelWidgets().size()) <= before);
}
