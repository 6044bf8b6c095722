// The viewer's window measuring between the cursors: the statistics of the
// shown channels, a regulator's step response, both in the visible range's
// CSV export; opening CSV files; the live store's bound and clearing; the sent
// stamps after a clock step back; closing the live window ends the source.

#include "TextFit.h"
#include "TryExpect.h"
#include "WindowTestKit.h"

#include "common/CheckBox.h"

#include <qcustomplot.h>

#include <QComboBox>
#include <QPushButton>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

using namespace curvix;
using namespace curvix::test;

namespace {

// Regulator 1 (ids 1 and 2) steps its set point from 0 to 100 at second 20;
// the process value follows as a first-order lag of 10 s to `final`.
// Channel 10 ramps.
std::vector<Record> stepRun(int seconds, int64_t firstSecond = 12 * 3600, double final = 100) {
    std::vector<std::string> bytes{beginRecord(), channelRecord(1, "Xs(k)1"),
                                   channelRecord(2, "Xm(k)1"), channelRecord(10, "Y(k)2"),
                                   startRecord()};
    for (int k = 0; k < seconds * 10; ++k) {
        StampFields s = stampAt(firstSecond + k / 10);
        s.millisecond = uint16_t(k % 10 * 100);
        const double t = k / 10.0;
        const float sp = t >= 20 ? 100.0f : 0.0f;
        const float pv = t >= 20 ? float(final * (1 - std::exp(-(t - 20) / 10.0))) : 0.0f;
        bytes.push_back(sampleRecord(1, sp, s));
        bytes.push_back(sampleRecord(2, pv, s));
        bytes.push_back(sampleRecord(10, float(k % 50), s));
    }
    std::vector<Record> records;
    for (const std::string& b : bytes)
        records.push_back(decodeRecord(b));
    return records;
}

double figure(const QString& text) {
    return QString(text).replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
}

} // namespace

TEST_F(CurvixWindowTest, TheLegendMeasuresBetweenTheCursors) {
    window.applyRecords(stepRun(120));
    window.refresh();
    EXPECT_EQ(label("lbStatsHead"), QStringLiteral("Между курсорами: поставьте оба курсора"));
    EXPECT_EQ(label("lbStatMean_10"), QStringLiteral("—"));
    window.setCursorAt(2, msAt(12 * 3600 + 10));
    window.setCursorAt(1, msAt(12 * 3600 + 119) + 900); // the order of the two does not matter
    EXPECT_EQ(label("lbStatsHead"), QStringLiteral("Между курсорами"));
    // Channel 10: 0..49 repeated, 1100 samples = 22 whole periods.
    EXPECT_EQ(label("lbStatCount_10"), QStringLiteral("1100"));
    EXPECT_EQ(label("lbStatMin_10"), QStringLiteral("0"));
    EXPECT_EQ(label("lbStatMax_10"), QStringLiteral("49"));
    EXPECT_EQ(label("lbStatPp_10"), QStringLiteral("49"));
    EXPECT_EQ(label("lbStatMean_10"), QStringLiteral("24,5"));
    EXPECT_NEAR(figure(label("lbStatRms_10")), std::sqrt((50.0 * 50.0 - 1) / 12.0), 1e-3);

    // The step table: a 10 s lag rises 10-90 % in 10·ln 9 s, settles to 2 %
    // in 10·ln 50 s, never overshoots.
    EXPECT_EQ(label("lbStepHead_1"), QStringLiteral("ПИД1"));
    EXPECT_EQ(label("lbStep0_1"), QStringLiteral("12:00:20,000"));
    EXPECT_EQ(label("lbStep1_1"), QStringLiteral("0 → 100"));
    EXPECT_EQ(label("lbStep3_1"), QStringLiteral("100"));
    EXPECT_NEAR(figure(label("lbStep4_1")), 10 * std::log(9.0), 0.1);
    EXPECT_NEAR(figure(label("lbStep5_1")), 0.0, 1e-6);
    EXPECT_NEAR(figure(label("lbStep6_1")), 10 * std::log(50.0), 0.1);
    EXPECT_NEAR(figure(label("lbStep7_1")), 10 * std::log(20.0), 0.1);
    EXPECT_NEAR(figure(label("lbStep9_1")), 0, 0.02);
    EXPECT_FALSE(child<QLabel>(&window, "lbStepRow10")->isVisible()); // settled on the set point
    // Each figure states its definition.
    EXPECT_TRUE(child<QLabel>(&window, "lbStepRow4")
                    ->toolTip()
                    .contains(QStringLiteral("от 10 % до 90 % изменения")));
    EXPECT_TRUE(
        child<QLabel>(&window, "lbStep5_1")->toolTip().contains(QStringLiteral("в % изменения")));
    EXPECT_TRUE(child<QLabel>(&window, "lbStepRow6")
                    ->toolTip()
                    .contains(QStringLiteral("±2 % изменения вокруг")));
    EXPECT_TRUE(child<QLabel>(&window, "lbHeadStat4")
                    ->toolTip()
                    .contains(QStringLiteral("σ генеральной совокупности")));
    grab(&window, QStringLiteral("curvix_measure.png"));
    EXPECT_EQ(qmt::test::clippedTextReport(&window), "");

    // A hidden channel is not measured; without its process value there is no step.
    child<qmt::CheckBox>(&window, "chbChannel2")->userClick();
    EXPECT_FALSE(child<QLabel>(&window, "lbStatMean_2")->isVisible());
    EXPECT_TRUE(label("lbStepHead").contains(QStringLiteral("нет пары")));
    EXPECT_FALSE(child<QLabel>(&window, "lbStep0_1")->isVisible());
    child<qmt::CheckBox>(&window, "chbChannel2")->userClick();

    // Cursors before the step: the set point does not change.
    window.setCursorAt(1, msAt(12 * 3600 + 1));
    window.setCursorAt(2, msAt(12 * 3600 + 15));
    EXPECT_TRUE(label("lbStepHead").contains(QStringLiteral("ПИД1: нет скачка уставки")))
        << label("lbStepHead").toStdString();
}

TEST_F(CurvixWindowTest, ALoopSettlingOffTheSetPointGetsFiguresAgainstItsOwnLevel) {
    window.applyRecords(stepRun(120, 12 * 3600, 80));
    window.refresh();
    window.setCursorAt(1, msAt(12 * 3600 + 10));
    window.setCursorAt(2, msAt(12 * 3600 + 119) + 900);
    EXPECT_EQ(label("lbStep4_1"), QStringLiteral("— (не достигнуто)"));
    EXPECT_EQ(label("lbStep6_1"), QStringLiteral("— (не достигнуто)"));
    EXPECT_NEAR(figure(label("lbStep8_1")), 80, 0.02);
    EXPECT_NEAR(figure(label("lbStep9_1")), 20, 0.02);
    ASSERT_TRUE(child<QLabel>(&window, "lbStepRow10")->isVisible());
    EXPECT_NEAR(figure(label("lbStep10_1")), 10 * std::log(9.0), 0.1);
    EXPECT_NEAR(figure(label("lbStep12_1")), 10 * std::log(50.0), 0.1);
    grab(&window, QStringLiteral("curvix_measure_offset.png"));
    EXPECT_EQ(qmt::test::clippedTextReport(&window), "");
}

TEST_F(CurvixWindowTest, TheVisibleRangesCsvLeavesHiddenChannelsOutAndCarriesTheFigures) {
    window.applyRecords(stepRun(120));
    window.refresh();
    child<qmt::CheckBox>(&window, "chbChannel10")->userClick();
    window.setVisibleRange(msAt(12 * 3600 + 10), msAt(12 * 3600 + 110));
    window.setCursorAt(1, msAt(12 * 3600 + 10));
    window.setCursorAt(2, msAt(12 * 3600 + 110));
    const QString part = folder.filePath(QStringLiteral("part.csv"));
    const QString all = folder.filePath(QStringLiteral("all.csv"));
    prompts.saveAnswers = {part, all};
    window.miExportVisibleClick();
    window.miExportAllClick();
    auto read = [](const QString& path) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return QString::fromUtf8(f.readAll().mid(3)).split(QStringLiteral("\r\n"));
    };
    const QStringList p = read(part);
    ASSERT_GT(p.size(), 10);
    EXPECT_TRUE(p[0].startsWith(QStringLiteral("# Диапазон;09.12.2026 12:00:10,000;")))
        << p[0].toStdString();
    const QString header = QStringLiteral("Время;Xs(k)1;Xm(k)1");
    const int h = int(p.indexOf(header));
    ASSERT_GT(h, 0) << p.join(QLatin1Char('\n')).left(800).toStdString();
    const QStringList comments = p.mid(0, h);
    EXPECT_TRUE(comments.filter(QStringLiteral("# ПИД1;Xs(k)1;Xm(k)1;12:00:20,000;0 → 100;0;100;"))
                    .size() == 1)
        << comments.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(comments.filter(QStringLiteral("Y(k)2")).isEmpty());
    EXPECT_EQ(p[h + 1].count(QLatin1Char(';')), 2);
    // Everything: all channels, no measurements.
    const QStringList a = read(all);
    EXPECT_EQ(a[0], QStringLiteral("Время;Xs(k)1;Xm(k)1;Y(k)2"));
}

TEST_F(CurvixWindowTest, ACsvOpensInAWindowOfItsOwn) {
    const QString path = folder.filePath(QStringLiteral("bench.csv"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("time,Xs(k)2,Xm(k)2\n");
    for (int k = 0; k < 300; ++k)
        file.write(QStringLiteral("%1,%2,%3\n")
                       .arg(k * 0.5)
                       .arg(k >= 40 ? 50 : 10)
                       .arg(k >= 40 ? 50 - 40 * std::exp(-(k - 40) / 20.0) : 10.0)
                       .toLatin1());
    file.write("oops,1\n");
    file.close();
    prompts.openAnswers = {path};
    window.miOpenCsvClick();
    ASSERT_EQ(prompts.openRequests.size(), 1u);
    EXPECT_TRUE(prompts.openRequests[0].filter.startsWith(QStringLiteral("CSV")));
    CurvixWindow* opened = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* c = qobject_cast<CurvixWindow*>(w); c && c != &window) opened = c;
    ASSERT_NE(opened, nullptr);
    QMT_TRY_ASSERT_EQ(opened->windowTitle(), QStringLiteral("CURVIX — bench.csv"));
    EXPECT_EQ(opened->dataset().channels().size(), 2u);
    EXPECT_TRUE(opened->statusText().contains(QStringLiteral("Пропущено строк: 1")))
        << opened->statusText().toStdString();
    int64_t t0, t1;
    opened->visibleRange(t0, t1);
    EXPECT_EQ(t0, 0);
    EXPECT_EQ(t1, 149'500);
    // A file pairs its regulators by column names.
    opened->setCursorAt(1, 0);
    opened->setCursorAt(2, 149'500);
    EXPECT_EQ(child<QLabel>(opened, "lbStepHead_1")->text(), QStringLiteral("ПИД2"));
    EXPECT_EQ(child<QLabel>(opened, "lbStep3_1")->text(), QStringLiteral("40"));
    EXPECT_FALSE(child<QComboBox>(opened, "cbSpan")->isVisible());
    opened->close();
}

TEST_F(CurvixWindowTest, TheLiveStoreIsBoundedAndCanBeCleared) {
    auto* keep = child<QComboBox>(&window, "cbKeep");
    QStringList items;
    for (int i = 0; i < keep->count(); ++i)
        items << keep->itemText(i);
    EXPECT_EQ(items,
              (QStringList{QStringLiteral("1 ч"), QStringLiteral("24 ч"), QStringLiteral("всё")}));
    window.applyRecords(stepRun(60));
    window.refresh();
    EXPECT_TRUE(label("lbMemory").endsWith(QStringLiteral(" КБ")))
        << label("lbMemory").toStdString();
    EXPECT_NE(label("lbMemory"), QStringLiteral("0 КБ"));
    keep->setCurrentIndex(0);
    window.cbKeepChange();
    EXPECT_EQ(window.dataset().retention(), 3'600'000);

    prompts.answers = {QMessageBox::No};
    window.setCursorAt(1, msAt(12 * 3600 + 5));
    child<QPushButton>(&window, "btClear")->click();
    EXPECT_EQ(prompts.lastText(), QStringLiteral("Удалить все принятые отсчёты?"));
    EXPECT_EQ(window.dataset().sampleCount(), 1800);
    child<QPushButton>(&window, "btClear")->click(); // the first button: Yes
    EXPECT_EQ(window.dataset().sampleCount(), 0);
    EXPECT_EQ(window.dataset().channels().size(), 3u);
    EXPECT_TRUE(window.statusText().contains(QStringLiteral("отсчётов: 0")));
    // Later samples draw as a fresh run.
    window.applyRecords(stepRun(30, 13 * 3600));
    window.refresh();
    int64_t t0, t1;
    window.visibleRange(t0, t1);
    EXPECT_EQ(t0, msAt(13 * 3600));
}

TEST_F(CurvixWindowTest, CursorsShowTheStampsAsSentAfterAClockStepBack) {
    std::vector<Record> run = handOff(60, 12 * 3600);
    // The clock falls back 30 s and the run goes on.
    for (const Record& r : handOff(30, 12 * 3600 + 30))
        if (r.type == RecordType::Sample) run.push_back(r);
    window.applyRecords(run);
    window.refresh();
    // The stamp 12:00:30 is drawn where the clock stepped back, at 12:00:59,
    // and labelled as sent.
    const int64_t drawn = msAt(12 * 3600 + 59);
    window.setCursorAt(1, drawn + 5000);
    EXPECT_EQ(label("lbCursor1"), QStringLiteral("Курсор 1: 12:00:35,000"));
    window.setCursorAt(2, drawn + 15000);
    EXPECT_EQ(label("lbDelta"), QStringLiteral("Δt: 10,000 с"));
}

TEST_F(CurvixWindowTest, ClosingTheLiveWindowEndsTheSource) {
    int toViewer[2], fromViewer[2];
    ASSERT_EQ(::pipe2(toViewer, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(fromViewer, O_CLOEXEC), 0);
    {
        CurvixWindow live;
        live.attach(toViewer[0], fromViewer[1]);
        live.show();
        live.close(); // no samples yet: no question
        EXPECT_TRUE(prompts.shown.empty());
    }
    // The program sees the viewer gone: its answers pipe reads the end.
    pollfd fd{fromViewer[0], POLLIN, 0};
    ASSERT_EQ(::poll(&fd, 1, 2000), 1);
    char byte;
    EXPECT_EQ(::read(fromViewer[0], &byte, 1), 0);
    ::close(toViewer[1]);
    ::close(fromViewer[0]);
}
