// The viewer's window: box zoom and the view's history, keys, the level
// marker, exports with legend and title, settings kept between runs, the view
// after resizes and for a fresh run, cursor labels, and closing a live window.

#include "TextFit.h"
#include "TryExpect.h"
#include "WindowTestKit.h"

#include "common/CheckBox.h"
#include "common/Ui.h"

#include <qcustomplot.h>

#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>

#include <set>
#include <stdexcept>
#include <unistd.h>

using namespace curvix;
using namespace curvix::test;

namespace {

void mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held,
           Qt::KeyboardModifiers modifiers = {}) {
    QMouseEvent event(type, at, w->mapToGlobal(at), button, held, modifiers);
    QApplication::sendEvent(w, &event);
}

void drag(QWidget* w, QPoint from, QPoint to, Qt::MouseButton button,
          Qt::KeyboardModifiers modifiers = {}) {
    mouse(w, QEvent::MouseButtonPress, from, button, button, modifiers);
    mouse(w, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, button, modifiers);
    mouse(w, QEvent::MouseMove, to, Qt::NoButton, button, modifiers);
    mouse(w, QEvent::MouseButtonRelease, to, button, Qt::NoButton, modifiers);
}

QString readAll(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return QString::fromUtf8(f.readAll());
}

QCPItemText* textItem(QCustomPlot* plot, const QString& text) {
    for (int i = 0; i < plot->itemCount(); ++i)
        if (auto* t = qobject_cast<QCPItemText*>(plot->item(i)); t && t->text() == text) return t;
    return nullptr;
}

struct Range {
    int64_t t0, t1;
};
Range range(const CurvixWindow& w) {
    Range r{};
    w.visibleRange(r.t0, r.t1);
    return r;
}

} // namespace

TEST_F(CurvixWindowTest, BoxZoomAndTheViewHistory) {
    window.applyRecords(handOff(300));
    window.refresh();
    QCustomPlot* plot = window.plot();
    const QRect area = plot->axisRect()->rect();
    const Range start = range(window);
    auto* back = child<QPushButton>(&window, "btBack");
    EXPECT_FALSE(back->isEnabled());

    // Ctrl with the left button draws a box instead of panning.
    const QPoint a(area.left() + area.width() / 4, area.top() + 20);
    const QPoint b(area.left() + area.width() / 2, area.bottom() - 20);
    const int64_t expect0 = int64_t(std::llround(plot->xAxis->pixelToCoord(a.x()) * 1000));
    const int64_t expect1 = int64_t(std::llround(plot->xAxis->pixelToCoord(b.x()) * 1000));
    drag(plot, a, b, Qt::LeftButton, Qt::ControlModifier);
    const Range boxed = range(window);
    EXPECT_NEAR(double(boxed.t0), double(expect0), 2.0);
    EXPECT_NEAR(double(boxed.t1), double(expect1), 2.0);
    EXPECT_FALSE(window.following());
    EXPECT_FALSE(window.autoY());
    EXPECT_TRUE(back->isEnabled());

    // The right button held draws one too; a right click still places cursor 2.
    drag(plot, QPoint(area.center().x() - 60, area.top() + 30),
         QPoint(area.center().x() + 60, area.top() + 32), Qt::RightButton);
    const Range twice = range(window);
    EXPECT_LT(twice.t1 - twice.t0, boxed.t1 - boxed.t0);
    EXPECT_EQ(child<QLabel>(&window, "lbCursor2")->text(), QStringLiteral("Курсор 2: —"));
    EXPECT_EQ(window.viewHistorySize(), 2);

    // Keys: "+" halves the time, "-" doubles it, arrows move a quarter.
    QTest::keyClick(&window, Qt::Key_Plus);
    Range r = range(window);
    EXPECT_NEAR(double(r.t1 - r.t0), (twice.t1 - twice.t0) / 2.0, 2.0);
    QTest::keyClick(&window, Qt::Key_Minus);
    r = range(window);
    EXPECT_NEAR(double(r.t1 - r.t0), double(twice.t1 - twice.t0), 2.0);
    QTest::keyClick(&window, Qt::Key_Right);
    const Range moved = range(window);
    EXPECT_NEAR(double(moved.t0 - r.t0), (r.t1 - r.t0) / 4.0, 2.0);

    // Backspace and "Назад" walk back to the following view it began with.
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(&window, Qt::Key_Backspace);
    r = range(window);
    EXPECT_NEAR(double(r.t0), double(twice.t0), 2.0);
    back->click();
    back->click();
    r = range(window);
    EXPECT_EQ(r.t0, start.t0);
    EXPECT_EQ(r.t1, start.t1);
    EXPECT_TRUE(window.following());
    EXPECT_TRUE(window.autoY());
    EXPECT_FALSE(back->isEnabled());
    EXPECT_FALSE(window.viewBack());
}

TEST_F(CurvixWindowTest, TheLevelMarkerIsTypedOrTakenFromACursor) {
    window.applyRecords(handOff(120));
    window.refresh();
    auto* edit = child<QLineEdit>(&window, "edMarkerY");
    edit->setText(QStringLiteral("250,5"));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_TRUE(window.markerShown());
    window.replotNow();
    QCPItemText* label = textItem(window.plot(), QStringLiteral("Y = 250,5"));
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->visible());
    // The line is drawn across the plot at that value.
    const QImage image = window.plot()->toPixmap().toImage();
    const int y = int(std::lround(window.plot()->yAxis->coordToPixel(250.5)));
    const QRect area = window.plot()->axisRect()->rect();
    int orange = 0;
    for (int x = area.left(); x <= area.right(); ++x)
        for (int dy = -1; dy <= 1; ++dy) {
            const QColor c = image.pixelColor(x, y + dy);
            orange += c.red() > 150 && c.green() < 140 && c.blue() < 60;
        }
    EXPECT_GT(orange, area.width() / 2);

    // Keys typed into the field are the field's: Backspace edits, it does not go back.
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("12"));
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClick(edit, Qt::Key_Minus);
    EXPECT_EQ(edit->text(), QStringLiteral("250,51-"));
    EXPECT_EQ(window.viewHistorySize(), 0);

    edit->setText(QStringLiteral("abc"));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(prompts.lastText(), QStringLiteral("Уровень Y: «abc» не число"));
    EXPECT_TRUE(window.markerShown()); // the old level stays

    // A double click on a cursor value takes it, on that channel's axis.
    child<qmt::CheckBox>(&window, "chbRightAxis31")->userClick();
    window.setCursorAt(1, msAt(12 * 3600 + 25));
    QTest::mouseDClick(child<QLabel>(&window, "lbValue1_31"), Qt::LeftButton);
    EXPECT_EQ(edit->text(), QStringLiteral("1"));
    EXPECT_TRUE(child<qmt::CheckBox>(&window, "chbMarkerRight")->isChecked());
    window.replotNow();
    EXPECT_NE(textItem(window.plot(), QStringLiteral("Y = 1 (пр.)")), nullptr);

    child<QPushButton>(&window, "btClearMarker")->click();
    EXPECT_FALSE(window.markerShown());
    EXPECT_TRUE(edit->text().isEmpty());
}

TEST_F(CurvixWindowTest, ExportsCarryTheLegendAndATitleLine) {
    window.applyRecords(handOff(120));
    window.refresh();
    child<qmt::CheckBox>(&window, "chbRightAxis31")->userClick();
    child<qmt::CheckBox>(&window, "chbChannel10")->userClick(); // hidden: not in the legend
    const QString title = QStringLiteral("09.12.2026 12:00:00 — 12:01:59");
    EXPECT_EQ(window.titleLine(), title);

    const QString svg = folder.filePath(QStringLiteral("view.svg"));
    const QString pdf = folder.filePath(QStringLiteral("view.pdf"));
    const QString png = folder.filePath(QStringLiteral("view.png"));
    prompts.saveAnswers = {svg, pdf, png};
    window.miSaveSvgClick();
    window.miSavePdfClick();
    window.miSavePngClick();
    ASSERT_EQ(prompts.saveRequests.size(), 3u);
    EXPECT_EQ(prompts.saveRequests[0].defaultSuffix, QStringLiteral("svg"));
    const QString text = readAll(svg);
    EXPECT_TRUE(text.contains(QStringLiteral(">Xs(k)1<"))) << text.left(400).toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral(">АЦП1 (пр.)<")));
    EXPECT_FALSE(text.contains(QStringLiteral("Y(k)2")));
    EXPECT_TRUE(text.contains(title));
    // The size in the view's pixels, not in millimetres at a guessed resolution.
    const QString size = QStringLiteral(" width=\"%1px\" height=\"%2px\"")
                             .arg(window.plot()->width())
                             .arg(window.plot()->height());
    EXPECT_TRUE(text.left(text.indexOf(QLatin1Char('>'), text.indexOf(QStringLiteral("<svg"))))
                    .contains(size))
        << text.left(600).toStdString();
    EXPECT_TRUE(readAll(pdf).startsWith(QStringLiteral("%PDF")));

    // The picture: title on top, then the legend with the set point's colour.
    const QImage image(png);
    ASSERT_EQ(image.size(), window.plot()->size());
    const QImage plain = window.plot()->toPixmap().toImage();
    EXPECT_NE(image, plain);
    const QRect legend = window.plot()->legend->outerRect();
    ASSERT_FALSE(legend.isEmpty());
    const QColor setPoint = window.plot()->graph(0)->pen().color();
    int swatch = 0;
    for (int y = 0; y < image.height() / 3; ++y)
        for (int x = legend.left(); x <= legend.right(); ++x)
            if (image.pixelColor(x, y) == setPoint) ++swatch;
    EXPECT_GE(swatch, 10);

    // "Копировать" (Ctrl+C) puts the same picture on the clipboard.
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(&window, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->image().size(), window.plot()->size());

    prompts.saveAnswers = {QStringLiteral("/nonexistent/x.svg")};
    window.miSaveSvgClick();
    EXPECT_EQ(prompts.lastText(), QStringLiteral("Ошибка записи в файл /nonexistent/x.svg"));
}

TEST_F(CurvixWindowTest, SettingsAreKeptBetweenRuns) {
    window.applyRecords(handOff(120));
    window.refresh();
    const QColor adcColor = window.plot()->graph(2)->pen().color();
    child<qmt::CheckBox>(&window, "chbChannel10")->userClick();
    child<qmt::CheckBox>(&window, "chbRightAxis31")->userClick();
    auto* span = child<QComboBox>(&window, "cbSpan");
    span->setCurrentIndex(2); // 1 ч
    window.cbSpanChange();
    child<qmt::CheckBox>(&window, "chbAutoY")->userClick();
    // A double click on the plot's legend entry picks the curve's colour (no cursor).
    const QColor chosen(0x12, 0x34, 0x56);
    prompts.modalScripts.push_back([&](QDialog* d) {
        static_cast<QColorDialog*>(d)->setCurrentColor(chosen);
        return int(QDialog::Accepted);
    });
    window.replotNow();
    QTest::mouseDClick(window.plot(), Qt::LeftButton, {},
                       window.plot()->legend->item(0)->outerRect().center());
    ASSERT_EQ(prompts.modalShown.size(), 1u);
    EXPECT_EQ(window.plot()->graph(0)->pen().color(), chosen);
    EXPECT_EQ(label("lbCursor1"), QStringLiteral("Курсор 1: —"));
    window.resize(1100, 700);
    window.close();

    CurvixWindow again;
    again.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&again));
    EXPECT_EQ(again.size(), QSize(1100, 700));
    EXPECT_EQ(child<QComboBox>(&again, "cbSpan")->currentText(), QStringLiteral("1 ч"));
    EXPECT_FALSE(again.autoY());
    // Y(k)2 and АЦП1 announced alone, announced in another order: each keeps its colour.
    std::vector<Record> records;
    for (const Record& r : handOff(10))
        if (r.type != RecordType::Channel || r.id == 31 || r.id == 10) records.push_back(r);
    again.applyRecords(records);
    again.refresh();
    EXPECT_FALSE(child<qmt::CheckBox>(&again, "chbChannel10")->isChecked());
    EXPECT_FALSE(again.dataset().find(10)->visible);
    EXPECT_TRUE(child<qmt::CheckBox>(&again, "chbRightAxis31")->isChecked());
    EXPECT_TRUE(again.dataset().find(31)->rightAxis);
    QCPGraph* adc = nullptr;
    for (int i = 0; i < again.plot()->graphCount(); ++i)
        if (again.plot()->graph(i)->name().startsWith(QStringLiteral("АЦП1")))
            adc = again.plot()->graph(i);
    ASSERT_NE(adc, nullptr);
    EXPECT_EQ(adc->pen().color(), adcColor);
    again.close();

    // New channels give way to the colours others keep: W(k)9 would be red as
    // Y(k)2 keeps it; the set point keeps the colour chosen for it.
    CurvixWindow third;
    std::vector<Record> named{decodeRecord(beginRecord())};
    const std::pair<int32_t, const char*> channels[] = {
        {5, "Z(k)9"}, {6, "W(k)9"}, {7, "Y(k)2"}, {8, "Xs(k)1"}};
    for (const auto& [id, name] : channels) {
        named.push_back(decodeRecord(channelRecord(id, name)));
        named.push_back(decodeRecord(sampleRecord(id, 1.0f, stampAt(12 * 3600))));
    }
    third.applyRecords(named);
    third.refresh();
    ASSERT_EQ(third.plot()->graphCount(), 4);
    std::set<QRgb> colors;
    for (int i = 0; i < 4; ++i)
        colors.insert(third.plot()->graph(i)->pen().color().rgb());
    EXPECT_EQ(colors.size(), 4u);
    EXPECT_EQ(third.plot()->graph(3)->pen().color(), chosen);
}

TEST_F(CurvixWindowTest, AFreshRunFillsTheTimeAxisAndCursorLabelsStayInside) {
    window.applyRecords(handOff(120));
    window.refresh();
    Range r = range(window);
    EXPECT_EQ(r.t0, msAt(12 * 3600));
    EXPECT_EQ(r.t1, msAt(12 * 3600 + 119));
    std::vector<Record> later;
    for (const Record& rec : handOff(180))
        if (rec.type == RecordType::Sample && rec.stamp.minute >= 2) later.push_back(rec);
    window.applyRecords(later);
    window.refresh();
    r = range(window);
    EXPECT_EQ(r.t0, msAt(12 * 3600));
    EXPECT_EQ(r.t1, msAt(12 * 3600 + 179));

    // Cursors at both edges: their labels are pushed in, not cut.
    window.setCursorAt(1, r.t0);
    window.setCursorAt(2, r.t1);
    window.replotNow();
    const QRect area = window.plot()->axisRect()->rect();
    for (const QString& text : {QStringLiteral("12:00:00,000"), QStringLiteral("12:02:59,000")}) {
        QCPItemText* label = textItem(window.plot(), text);
        ASSERT_NE(label, nullptr) << text.toStdString();
        EXPECT_TRUE(label->visible());
        EXPECT_GE(label->topLeft->pixelPosition().x(), area.left());
        EXPECT_LE(label->bottomRight->pixelPosition().x(), area.right() + 1);
        EXPECT_GE(label->topLeft->pixelPosition().y(), area.top());
        EXPECT_LT(label->brush().color().alpha(), 255); // the curve shows through
    }
    grab(&window, QStringLiteral("curvix_edges.png"));
}

// The run's start mark comes a moment before its first sample, at the left
// edge of the view: its label stands whole inside the plot, not cut to "рт".
TEST_F(CurvixWindowTest, TheStartLabelOfAFreshRunStandsWholeInsideThePlot) {
    // A live run: the start arrives now, the samples follow from a second on.
    const QDateTime first = QDateTime::currentDateTime().addSecs(1);
    std::vector<std::string> bytes{beginRecord(), channelRecord(1, "Xs(k)1"), startRecord()};
    for (int k = 0; k < 120; ++k) {
        const QDateTime t = first.addSecs(k);
        const StampFields s{uint16_t(t.date().year()),          uint16_t(t.date().month()),
                            uint16_t(t.date().dayOfWeek() % 7), uint16_t(t.date().day()),
                            uint16_t(t.time().hour()),          uint16_t(t.time().minute()),
                            uint16_t(t.time().second()),        0};
        bytes.push_back(sampleRecord(1, float(k), s));
    }
    std::vector<Record> records;
    for (const std::string& b : bytes)
        records.push_back(decodeRecord(b));
    window.applyRecords(records);
    window.refresh();
    window.replotNow();
    QCPItemText* label = textItem(window.plot(), QStringLiteral("старт"));
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->visible());
    const QRect area = window.plot()->axisRect()->rect();
    EXPECT_GE(label->topLeft->pixelPosition().x(), area.left());
    EXPECT_LE(label->bottomRight->pixelPosition().x(), area.right() + 1);
    EXPECT_LE(label->bottomRight->pixelPosition().y(), area.bottom() + 1);
    grab(&window, QStringLiteral("curvix_start.png"));
}

TEST_F(CurvixWindowTest, ALogOpensWholeAndEveryResizeRedrawsIt) {
    // The header's "Время" in Windows-1251.
    QByteArray log = QByteArray("  \xC2\xF0\xE5\xEC\xFF  ") + "   Xs(k)1   Xm(k)1\r\n";
    for (int k = 0; k < 20000; ++k)
        log += QString::number(k / 10.0, 'f', 2).replace('.', ',').rightJustified(9).toLatin1() +
               QByteArray::number(k % 100 < 50 ? 100 : 0).rightJustified(9) +
               QByteArray::number(k % 37).rightJustified(9) + "\r\n";
    const QString path = folder.filePath(QStringLiteral("long.log"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(log);
    file.close();

    CurvixWindow logWindow(TimeBase::Elapsed);
    ASSERT_TRUE(logWindow.loadLog(path)); // before it is laid out, as from the command line
    logWindow.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&logWindow));
    QCPGraph* graph = logWindow.plot()->graph(0);
    auto columnsDrawn = [&] { return graph->dataCount() / 2; };
    QMT_TRY_ASSERT(std::abs(columnsDrawn() - logWindow.plot()->axisRect()->width()) <= 2);
    Range r = range(logWindow);
    EXPECT_EQ(r.t0, 0);
    EXPECT_EQ(r.t1, 1'999'900);
    const int before = logWindow.plot()->axisRect()->width();
    logWindow.resize(logWindow.width() - 200, logWindow.height());
    QMT_TRY_ASSERT(logWindow.plot()->axisRect()->width() < before - 100);
    QMT_TRY_ASSERT(std::abs(columnsDrawn() - logWindow.plot()->axisRect()->width()) <= 2);
    r = range(logWindow);
    EXPECT_EQ(r.t1, 1'999'900);
}

TEST_F(CurvixWindowTest, ClosingTheLiveWindowAsksWhileSamplesArrive) {
    qmt::test::FakeClock clock;
    int toViewer[2], fromViewer[2];
    ASSERT_EQ(::pipe(toViewer), 0);
    ASSERT_EQ(::pipe(fromViewer), 0);
    auto* live = new CurvixWindow;
    live->setAttribute(Qt::WA_DeleteOnClose);
    live->attach(toViewer[0], fromViewer[1]);
    live->show();
    live->applyRecords(handOff(5));
    QPointer<CurvixWindow> alive(live);

    prompts.answers = {QMessageBox::No};
    live->close();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.lastText(),
              QStringLiteral("Данные ещё поступают. Закрыть окно и прекратить приём?"));
    EXPECT_TRUE(live->isVisible());

    // Quiet for a while: it closes without asking.
    clock.current = clock.current.addSecs(10);
    live->close();
    EXPECT_EQ(prompts.shown.size(), 1u);
    QMT_TRY_ASSERT(alive.isNull());
    // The window's end of both pipes closed with it.
    ::close(toViewer[1]);
    ::close(fromViewer[0]);
}

TEST_F(CurvixWindowTest, TheGuardsBoxesAreTitledCurvix) {
    qmt::guarded([] { throw std::runtime_error("сбой"); });
    ASSERT_FALSE(prompts.shown.empty());
    EXPECT_EQ(prompts.shown.back().caption, QStringLiteral("curvix"));
    EXPECT_EQ(prompts.shown.back().text, QStringLiteral("сбой"));
}
