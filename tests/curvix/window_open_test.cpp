// Files opened on a worker thread, with progress and cancel, and the status
// bar's word after an export.

#include "TextFit.h"
#include "TryExpect.h"
#include "WindowTestKit.h"

#include "ui/CurvixWindow.h"

#include <QFile>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>

#include <gtest/gtest.h>

using namespace curvix;
using namespace curvix::test;

namespace {

// A value log of `lines` cycles: three channels, 9-character fields, CR LF.
QString writeLog(const QString& path, int lines) {
    QByteArray log = "  \xC2\xF0\xE5\xEC\xFF  " // "Время" in Windows-1251
                     "   Xs(k)1   Xm(k)1      OV1\r\n";
    for (int k = 0; k < lines; ++k) {
        const QString t = QString::number(k / 100.0, 'f', 2).replace('.', ',');
        log += t.rightJustified(9).toLatin1() + QByteArray::number(1000).rightJustified(9) +
               QByteArray::number(k % 997).rightJustified(9) +
               QByteArray::number(k / 50 % 2).rightJustified(9) + "\r\n";
    }
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(log);
    return path;
}

} // namespace

TEST_F(CurvixWindowTest, EachExportSaysWhatItSaved) {
    window.applyRecords(handOff(60));
    window.refresh();
    auto* bar = child<QStatusBar>(&window, "statusBar");
    struct Case {
        const char* file;
        void (CurvixWindow::*command)();
    };
    const Case cases[] = {{"all.csv", &CurvixWindow::miExportAllClick},
                          {"part.csv", &CurvixWindow::miExportVisibleClick},
                          {"view.png", &CurvixWindow::miSavePngClick},
                          {"view.svg", &CurvixWindow::miSaveSvgClick},
                          {"view.pdf", &CurvixWindow::miSavePdfClick}};
    for (const Case& c : cases) {
        bar->clearMessage();
        prompts.saveAnswers = {folder.filePath(QString::fromLatin1(c.file))};
        (window.*c.command)();
        EXPECT_EQ(bar->currentMessage(), QStringLiteral("Сохранено: ") + QLatin1String(c.file));
        EXPECT_TRUE(prompts.shown.empty()) << c.file;
    }
    grab(&window, QStringLiteral("curvix_saved.png"));

    // A failure keeps its box and claims nothing.
    for (const Case& c : cases) {
        bar->clearMessage();
        const std::size_t boxes = prompts.shown.size();
        prompts.saveAnswers = {QStringLiteral("/nonexistent/") + QLatin1String(c.file)};
        (window.*c.command)();
        EXPECT_EQ(prompts.shown.size(), boxes + 1) << c.file;
        EXPECT_TRUE(bar->currentMessage().isEmpty()) << c.file;
    }
}

TEST_F(CurvixWindowTest, ALongLogOpensWithProgressAsASynchronousLoadWould) {
    const QString path = writeLog(folder.filePath(QStringLiteral("long.log")), 150'000);
    QSignalSpy progress(&window, &CurvixWindow::openProgress);
    QSignalSpy finished(&window, &CurvixWindow::openFinished);
    window.openLog(path);
    auto* bar = child<QProgressBar>(&window, "pbOpen");
    auto* cancel = child<QPushButton>(&window, "btCancelOpen");
    EXPECT_TRUE(window.opening());
    EXPECT_TRUE(bar->isVisible());
    EXPECT_TRUE(cancel->isVisible());
    EXPECT_EQ(bar->text(), QStringLiteral("Открытие: 0 %"));
    grab(&window, QStringLiteral("curvix_opening.png"));
    EXPECT_EQ(qmt::test::clippedTexts(&window).join(QLatin1Char('\n')).toStdString(), "");

    QMT_TRY_ASSERT_EQ_TIMEOUT(finished.size(), 1, 30000);
    EXPECT_TRUE(finished[0][0].toBool());
    EXPECT_FALSE(window.opening());
    EXPECT_FALSE(bar->isVisible());
    EXPECT_FALSE(cancel->isVisible());
    // The share grows, passing through the middle, to the end.
    ASSERT_GE(progress.size(), 3);
    int last = -1, between = 0;
    for (const QList<QVariant>& p : progress) {
        EXPECT_GT(p[0].toInt(), last);
        last = p[0].toInt();
        between += last > 0 && last < 100;
    }
    EXPECT_EQ(last, 100);
    EXPECT_GT(between, 0);

    CurvixWindow sync(TimeBase::Elapsed);
    ASSERT_TRUE(sync.loadLog(path));
    EXPECT_EQ(window.statusText(), sync.statusText());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("CURVIX — long.log"));
    const auto a = window.dataset().channels(), b = sync.dataset().channels();
    ASSERT_EQ(a.size(), 3u);
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t c = 0; c < a.size(); ++c) {
        EXPECT_EQ(a[c]->name, b[c]->name);
        ASSERT_EQ(a[c]->samples.size(), 150'000);
        ASSERT_EQ(a[c]->samples.size(), b[c]->samples.size());
        for (int64_t i = 0; i < a[c]->samples.size(); i += 997) {
            EXPECT_EQ(a[c]->samples.time(i), b[c]->samples.time(i));
            EXPECT_EQ(a[c]->samples.value(i), b[c]->samples.value(i));
        }
    }
}

TEST_F(CurvixWindowTest, ACancelledOpenLeavesTheWindowAsItWas) {
    const QString small = writeLog(folder.filePath(QStringLiteral("small.log")), 500);
    const QString big = writeLog(folder.filePath(QStringLiteral("big.log")), 150'000);
    ASSERT_TRUE(window.loadLog(small));
    const QString status = window.statusText(), title = window.windowTitle();
    int64_t t0, t1;
    window.visibleRange(t0, t1);
    QSignalSpy finished(&window, &CurvixWindow::openFinished);

    window.openLog(big);
    ASSERT_TRUE(window.opening());
    child<QPushButton>(&window, "btCancelOpen")->click();
    EXPECT_FALSE(window.opening());
    EXPECT_FALSE(child<QProgressBar>(&window, "pbOpen")->isVisible());
    ASSERT_EQ(finished.size(), 1);
    EXPECT_FALSE(finished.back()[0].toBool());
    // What the worker still read is dropped when it ends.
    QMT_TRY_ASSERT_TIMEOUT(!window.workerRunning(), 30000);
    EXPECT_EQ(finished.size(), 1);
    EXPECT_EQ(window.statusText(), status);
    EXPECT_EQ(window.windowTitle(), title);
    EXPECT_EQ(window.dataset().sampleCount(), 3 * 500);
    int64_t n0, n1;
    window.visibleRange(n0, n1);
    EXPECT_EQ(n0, t0);
    EXPECT_EQ(n1, t1);
    EXPECT_TRUE(prompts.shown.empty());

    // A later open still works.
    window.openLog(big);
    QMT_TRY_ASSERT_EQ_TIMEOUT(finished.size(), 2, 30000);
    EXPECT_TRUE(finished.back()[0].toBool());
    EXPECT_EQ(window.dataset().sampleCount(), 3 * 150'000);
}

TEST_F(CurvixWindowTest, AReplacedOpensEndIsNotTakenForTheNextOnes) {
    const QString small = writeLog(folder.filePath(QStringLiteral("small.log")), 500);
    const QString big = writeLog(folder.filePath(QStringLiteral("big.log")), 150'000);
    QSignalSpy finished(&window, &CurvixWindow::openFinished);
    // The first job ends while the second is made, likely at its address;
    // the first one's end, still queued, must not finish the second.
    window.openLog(small);
    window.openLog(big);
    QCoreApplication::processEvents();
    EXPECT_TRUE(window.opening());
    QMT_TRY_ASSERT_EQ_TIMEOUT(finished.size(), 2, 30000);
    EXPECT_FALSE(finished[0][0].toBool());
    EXPECT_TRUE(finished[1][0].toBool());
    EXPECT_EQ(window.dataset().sampleCount(), 3 * 150'000);
}

TEST_F(CurvixWindowTest, EscCancelsAnOpenAndOtherwiseClearsTheCursors) {
    const QString small = writeLog(folder.filePath(QStringLiteral("small.log")), 500);
    const QString big = writeLog(folder.filePath(QStringLiteral("big.log")), 150'000);
    ASSERT_TRUE(window.loadLog(small));
    const int64_t first = window.dataset().firstTime();
    window.setCursorAt(1, first + 1000);
    const QString cursor = label("lbCursor1");
    ASSERT_NE(cursor, QStringLiteral("Курсор 1: —"));
    QSignalSpy finished(&window, &CurvixWindow::openFinished);

    // While the file opens, Esc is "Отмена" and leaves the cursors alone.
    window.openLog(big);
    ASSERT_TRUE(window.opening());
    QTest::keyClick(&window, Qt::Key_Escape);
    QMT_TRY_ASSERT_EQ(finished.size(), 1);
    EXPECT_FALSE(finished.back()[0].toBool());
    EXPECT_FALSE(window.opening());
    EXPECT_FALSE(child<QProgressBar>(&window, "pbOpen")->isVisible());
    EXPECT_EQ(label("lbCursor1"), cursor);
    QMT_TRY_ASSERT_TIMEOUT(!window.workerRunning(), 30000);
    EXPECT_EQ(window.dataset().sampleCount(), 3 * 500);

    // Once the open is gone Esc clears the cursors again, after a cancel as
    // after an open that ran to its end.
    QTest::keyClick(&window, Qt::Key_Escape);
    QMT_TRY_ASSERT_EQ(label("lbCursor1"), QStringLiteral("Курсор 1: —"));
    window.openLog(small);
    QMT_TRY_ASSERT_EQ_TIMEOUT(finished.size(), 2, 30000);
    EXPECT_TRUE(finished.back()[0].toBool());
    window.setCursorAt(1, first + 1000);
    ASSERT_EQ(label("lbCursor1"), cursor);
    QTest::keyClick(&window, Qt::Key_Escape);
    QMT_TRY_ASSERT_EQ(label("lbCursor1"), QStringLiteral("Курсор 1: —"));
    EXPECT_EQ(finished.size(), 2);
    EXPECT_TRUE(prompts.shown.empty());
}
