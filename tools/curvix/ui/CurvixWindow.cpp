#include "ui/CurvixWindow.h"

#include "core/Csv.h"
#include "core/ValueLog.h"
#include "link/CheckBox.h"
#include "link/Ui.h"
#include "ui/ChannelPanel.h"
#include "ui/LiveSource.h"

#include <qcustomplot.h>

#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <cerrno>
#include <cmath>
#include <limits>
#include <sys/resource.h>
#include <unistd.h>

namespace curvix {
namespace {

const QColor kPalette[] = {
    QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28), QColor(0x2c, 0xa0, 0x2c),
    QColor(0xff, 0x7f, 0x0e), QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
    QColor(0xe3, 0x77, 0xc2), QColor(0x7f, 0x7f, 0x7f), QColor(0xbc, 0xbd, 0x22),
    QColor(0x17, 0xbe, 0xcf), QColor(0x00, 0x00, 0x80), QColor(0x80, 0x00, 0x00),
    QColor(0x00, 0x80, 0x80), QColor(0x80, 0x80, 0x00)};

QColor colorOf(int index) {
    const int n = int(sizeof kPalette / sizeof kPalette[0]);
    return kPalette[((index % n) + n) % n];
}

struct SpanChoice {
    const char* text;
    int64_t ms;
};
const SpanChoice kSpans[] = {
    {"1 мин", 60'000}, {"10 мин", 600'000}, {"1 ч", 3'600'000}, {"Весь прогон", 0}};

QString number(double v) {
    if (!std::isfinite(v)) return std::isnan(v) ? QStringLiteral("нет числа") : QStringLiteral("∞");
    QString text = QString::number(v, 'g', 7);
    text.replace(QLatin1Char('.'), QLatin1Char(','));
    return text;
}

int64_t toMs(double key) {
    return int64_t(std::llround(key * 1000.0));
}

} // namespace

CurvixWindow::CurvixWindow(TimeBase base, QWidget* parent) : QMainWindow(parent), data_(base) {
    setObjectName(QStringLiteral("CurvixWindow"));
    setWindowTitle(QStringLiteral("CURVIX"));
    if (const char* path = std::getenv("CURVIX_DUMP"); path && *path) {
        dump_ = std::make_unique<QFile>(QString::fromLocal8Bit(path));
        if (!dump_->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
            dump_.reset();
    }
    buildUi();
    sourceState_ = base == TimeBase::LocalTime ? QStringLiteral("Ожидание данных") : QString();
    updateStatus();
}

CurvixWindow::~CurvixWindow() = default;

void CurvixWindow::buildUi() {
    resize(1280, 800);
    auto* fileMenu = menuBar()->addMenu(QStringLiteral("Файл"));
    fileMenu->setObjectName(QStringLiteral("mmFile"));
    struct Item {
        const char* name;
        const char* text;
        void (CurvixWindow::*handler)();
        QKeySequence keys;
    };
    const Item items[] = {
        {"miOpenLog", "Открыть журнал значений...", &CurvixWindow::miOpenLogClick,
         QKeySequence::Open},
        {"miExportAll", "Экспорт в CSV: все данные...", &CurvixWindow::miExportAllClick, {}},
        {"miExportVisible",
         "Экспорт в CSV: видимый диапазон...",
         &CurvixWindow::miExportVisibleClick,
         {}},
        {"miSavePng", "Сохранить вид в PNG...", &CurvixWindow::miSavePngClick, {}},
    };
    for (const Item& item : items) {
        QAction* action = fileMenu->addAction(QString::fromUtf8(item.text));
        action->setObjectName(QString::fromLatin1(item.name));
        if (!item.keys.isEmpty()) action->setShortcut(item.keys);
        qmt::onTriggered(action, qmt::handler(this, item.handler));
    }
    fileMenu->addSeparator();
    QAction* quit = fileMenu->addAction(QStringLiteral("Закрыть"));
    quit->setObjectName(QStringLiteral("miClose"));
    quit->setShortcut(QKeySequence::Close);
    qmt::onTriggered(quit, [this] { close(); });

    auto* tools = addToolBar(QStringLiteral("Вид"));
    tools->setObjectName(QStringLiteral("tbView"));
    tools->setMovable(false);
    auto* spanLabel = new QLabel(QStringLiteral(" Окно: "), tools);
    spanLabel->setObjectName(QStringLiteral("lbSpan"));
    tools->addWidget(spanLabel);
    cbSpan_ = new QComboBox(tools);
    cbSpan_->setObjectName(QStringLiteral("cbSpan"));
    for (const SpanChoice& s : kSpans)
        cbSpan_->addItem(QString::fromUtf8(s.text), qlonglong(s.ms));
    cbSpan_->setCurrentIndex(1);
    connect(cbSpan_, &QComboBox::activated, this,
            [this] { qmt::guarded([this] { cbSpanChange(); }); });
    tools->addWidget(cbSpan_);
    btFollow_ = new QPushButton(QStringLiteral("Пауза"), tools);
    btFollow_->setObjectName(QStringLiteral("btFollow"));
    // Room for the longer of its two captions.
    btFollow_->setMinimumWidth(
        btFollow_->fontMetrics().horizontalAdvance(QStringLiteral("Следить")) + 28);
    qmt::onClicked(btFollow_, qmt::handler(this, &CurvixWindow::btFollowClick));
    tools->addWidget(btFollow_);
    btFullView_ = new QPushButton(QStringLiteral("Весь вид"), tools);
    btFullView_->setObjectName(QStringLiteral("btFullView"));
    btFullView_->setShortcut(Qt::Key_Home);
    qmt::onClicked(btFullView_, qmt::handler(this, &CurvixWindow::btFullViewClick));
    tools->addWidget(btFullView_);
    chbAutoY_ = new qmt::CheckBox(QStringLiteral("Автомасштаб Y"), tools);
    chbAutoY_->setObjectName(QStringLiteral("chbAutoY"));
    chbAutoY_->QCheckBox::setChecked(true);
    chbAutoY_->setOnClick(qmt::handler(this, &CurvixWindow::chbAutoYClick));
    tools->addWidget(chbAutoY_);
    btClearCursors_ = new QPushButton(QStringLiteral("Убрать курсоры"), tools);
    btClearCursors_->setObjectName(QStringLiteral("btClearCursors"));
    btClearCursors_->setShortcut(Qt::Key_Escape);
    qmt::onClicked(btClearCursors_, qmt::handler(this, &CurvixWindow::btClearCursorsClick));
    tools->addWidget(btClearCursors_);
    for (QPushButton* b : {btFollow_, btFullView_, btClearCursors_})
        b->setMinimumWidth(
            std::max(b->minimumWidth(), b->fontMetrics().horizontalAdvance(b->text()) + 28));
    if (data_.timeBase() == TimeBase::Elapsed) {
        // A log does not grow: there is nothing to follow.
        spanLabel->setVisible(false);
        for (QAction* a : tools->actions())
            if (QWidget* w = tools->widgetForAction(a);
                w == cbSpan_ || w == btFollow_ || w == spanLabel)
                a->setVisible(false);
        following_ = false;
    }

    auto* splitter = new QSplitter(this);
    splitter->setObjectName(QStringLiteral("splitter"));
    plot_ = new QCustomPlot(splitter);
    plot_->setObjectName(QStringLiteral("plot"));
    plot_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    plot_->setNoAntialiasingOnDrag(true);
    plot_->setPlottingHint(QCP::phFastPolylines, true);
    // Straight axis and grid lines need no antialiasing; it only costs time.
    plot_->setNotAntialiasedElements(QCP::aeAxes | QCP::aeGrid | QCP::aeSubGrid | QCP::aeZeroLine |
                                     QCP::aePlottables | QCP::aeItems);
    QCPAxisRect* rect = plot_->axisRect();
    rect->setRangeDrag(Qt::Horizontal | Qt::Vertical);
    rect->setRangeDragAxes({plot_->xAxis}, {plot_->yAxis, plot_->yAxis2});
    rect->setRangeZoomAxes({plot_->xAxis}, {plot_->yAxis, plot_->yAxis2});
    if (data_.timeBase() == TimeBase::LocalTime) {
        auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
        ticker->setDateTimeFormat(QStringLiteral("hh:mm:ss"));
        ticker->setDateTimeSpec(Qt::LocalTime);
        plot_->xAxis->setTicker(ticker);
        plot_->xAxis->setLabel(QStringLiteral("Время"));
    } else {
        plot_->xAxis->setLabel(QStringLiteral("Время от начала журнала, с"));
    }
    plot_->yAxis2->setVisible(false);
    plot_->yAxis2->setTickLabels(true);
    plot_->xAxis->setRange(0, 1);
    connect(plot_, &QCustomPlot::mousePress, this,
            [this](QMouseEvent* e) { qmt::guarded([&] { plotMousePress(e); }); });
    connect(plot_, &QCustomPlot::mouseMove, this,
            [this](QMouseEvent* e) { qmt::guarded([&] { plotMouseMove(e); }); });
    connect(plot_, &QCustomPlot::mouseRelease, this,
            [this](QMouseEvent* e) { qmt::guarded([&] { plotMouseRelease(e); }); });
    connect(plot_, &QCustomPlot::mouseWheel, this,
            [this](QWheelEvent* e) { qmt::guarded([&] { plotWheel(e); }); });
    connect(plot_->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this, [this] {
        if (!inRefresh_) scheduleRefresh();
    });
    for (int i = 0; i < 2; ++i) {
        auto* line = new QCPItemStraightLine(plot_);
        line->setPen(QPen(i == 0 ? QColor(0, 0, 0) : QColor(0x80, 0, 0x80), 1, Qt::DashLine));
        line->setVisible(false);
        auto* label = new QCPItemText(plot_);
        label->setPositionAlignment(Qt::AlignTop | Qt::AlignHCenter);
        label->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
        label->setClipToAxisRect(true);
        label->setBrush(QBrush(QColor(255, 255, 255, 220)));
        label->setPadding(QMargins(3, 1, 3, 1));
        label->setVisible(false);
        cursorLine_[i] = line;
        cursorLabel_[i] = label;
    }

    auto* scroll = new QScrollArea(splitter);
    scroll->setObjectName(QStringLiteral("channelScroll"));
    panel_ = new ChannelPanel(scroll);
    scroll->setWidget(panel_);
    scroll->setWidgetResizable(true);
    panel_->onVisibleChanged = [this](int32_t id) {
        for (Channel* c : data_.channels())
            if (c->id == id) c->visible = panel_->row(id)->visible->isChecked();
        refresh();
    };
    panel_->onAxisChanged = [this](int32_t id) {
        for (Channel* c : data_.channels())
            if (c->id == id) c->rightAxis = panel_->row(id)->right->isChecked();
        refresh();
    };
    splitter->addWidget(plot_);
    splitter->addWidget(scroll);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    splitter->setSizes({900, 380});
    setCentralWidget(splitter);

    lbSource_ = new QLabel(this);
    lbSource_->setObjectName(QStringLiteral("lbSource"));
    lbCounts_ = new QLabel(this);
    lbCounts_->setObjectName(QStringLiteral("lbCounts"));
    // Wide enough for a day of samples, so the status bar does not jump as they come.
    lbCounts_->setMinimumWidth(lbCounts_->fontMetrics().horizontalAdvance(
                                   QStringLiteral("Каналов: 99, отсчётов: 99999999")) +
                               8);
    lbProblems_ = new QLabel(this);
    lbProblems_->setObjectName(QStringLiteral("lbProblems"));
    statusBar()->setObjectName(QStringLiteral("statusBar"));
    statusBar()->addWidget(lbSource_);
    statusBar()->addWidget(lbCounts_);
    statusBar()->addWidget(lbProblems_, 1);

    tmRefresh_ = new QTimer(this);
    tmRefresh_->setObjectName(QStringLiteral("tmRefresh"));
    tmRefresh_->setSingleShot(true);
    // About 30 redraws a second at most, however fast samples come.
    tmRefresh_->setInterval(33);
    connect(tmRefresh_, &QTimer::timeout, this, [this] { qmt::guarded([this] { refresh(); }); });
}

void CurvixWindow::attach(int inFd, int outFd) {
    source_ = new LiveSource(this);
    connect(source_, &LiveSource::recordsReady, this, &CurvixWindow::takeFromSource);
    connect(source_, &LiveSource::ended, this, &CurvixWindow::sourceEnded);
    source_->start(inFd, outFd);
    // The reader (started above, at the normal priority) must get a processor
    // the moment a message arrives, even while this thread redraws: a drawing
    // thread a few steps nicer lets the scheduler switch to it at once. Only
    // this thread changes; raising niceness needs no privilege.
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, 0);
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), std::min(nice + 5, 19));
    dump(QStringLiteral("token %1 pid %2")
             .arg(source_->token())
             .arg(QCoreApplication::applicationPid()));
}

void CurvixWindow::takeFromSource() {
    std::vector<Record> records;
    source_->take(records);
    data_.counters().foreignAddress = source_->foreignMessages();
    applyRecords(records);
}

void CurvixWindow::sourceEnded(const QString& reason) {
    // Whatever is still queued was acknowledged: it is shown too.
    takeFromSource();
    sourceState_ = reason;
    updateStatus();
    dump(QStringLiteral("ended ") + reason);
}

void CurvixWindow::applyRecords(const std::vector<Record>& records) {
    if (records.empty()) return;
    const int64_t now = QDateTime::currentMSecsSinceEpoch();
    for (const Record& r : records) {
        data_.apply(r, now);
        if (dump_) dumpRecord(r);
    }
    if (sourceState_ == QStringLiteral("Ожидание данных"))
        sourceState_ = QStringLiteral("Приём данных");
    scheduleRefresh();
}

void CurvixWindow::dump(const QString& line) {
    if (!dump_) return;
    dump_->write((line + QLatin1Char('\n')).toUtf8());
}

void CurvixWindow::dumpRecord(const Record& r) {
    switch (r.type) {
    case RecordType::Begin:
        dump(QStringLiteral("begin"));
        break;
    case RecordType::Channel:
        dump(QStringLiteral("channel %1 %2").arg(r.id).arg(data_.find(r.id)->name));
        break;
    case RecordType::Start:
        dump(QStringLiteral("start"));
        break;
    case RecordType::Sample: {
        const Channel* c = data_.find(r.id);
        dump(QStringLiteral("sample %1 %2 %3 %4")
                 .arg(r.id)
                 .arg(c->samples.lastTime())
                 .arg(QString::number(double(r.value), 'g', 9))
                 .arg(c->name));
        break;
    }
    case RecordType::Invalid:
        dump(QStringLiteral("invalid ") + r.error);
        break;
    }
}

void CurvixWindow::scheduleRefresh() {
    if (!tmRefresh_->isActive()) tmRefresh_->start();
}

CurvixWindow::Curve& CurvixWindow::curveFor(Channel& c) {
    for (Curve& curve : curves_)
        if (curve.id == c.id) return curve;
    QCPGraph* graph = plot_->addGraph(plot_->xAxis, plot_->yAxis);
    // One-pixel lines without antialiasing: the raster engine draws them many
    // times faster, and with min/max columns the curve is as exact as the pixels.
    graph->setPen(QPen(colorOf(c.colorIndex), 1));
    graph->setAntialiased(false);
    graph->setName(c.name);
    // The points are reduced to the pixel columns already.
    graph->setAdaptiveSampling(false);
    curves_.push_back({c.id, graph});
    return curves_.back();
}

void CurvixWindow::visibleRange(int64_t& t0, int64_t& t1) const {
    t0 = toMs(plot_->xAxis->range().lower);
    t1 = toMs(plot_->xAxis->range().upper);
}

void CurvixWindow::setVisibleRange(int64_t t0, int64_t t1) {
    following_ = false;
    btFollow_->setText(QStringLiteral("Следить"));
    plot_->xAxis->setRange(t0 / 1000.0, t1 / 1000.0);
    haveView_ = true;
    refresh();
}

bool CurvixWindow::autoY() const {
    return chbAutoY_->isChecked();
}

void CurvixWindow::refresh() {
    tmRefresh_->stop();
    inRefresh_ = true;
    const bool hasData = !data_.empty();
    if (hasData && (following_ || !haveView_)) {
        const int64_t last = data_.lastTime();
        int64_t first = following_ && spanMs_ > 0 ? last - spanMs_ : data_.firstTime();
        if (last - first < 1000) first = last - 1000;
        plot_->xAxis->setRange(first / 1000.0, last / 1000.0);
        haveView_ = true;
    }
    int64_t t0, t1;
    visibleRange(t0, t1);
    if (data_.timeBase() == TimeBase::LocalTime) {
        // Beyond a day of view the labels need the date; within it, seconds.
        auto ticker = plot_->xAxis->ticker().dynamicCast<QCPAxisTickerDateTime>();
        const QString format =
            t1 - t0 > 86'400'000 ? QStringLiteral("dd.MM hh:mm") : QStringLiteral("hh:mm:ss");
        if (ticker && ticker->dateTimeFormat() != format) ticker->setDateTimeFormat(format);
    }
    const int columns = std::max(plot_->axisRect()->width(), 1);
    bool anyRight = false;
    for (Channel* c : data_.channels()) {
        if (!panel_->row(c->id) || panel_->row(c->id)->visible->text() != c->name) {
            panel_->ensureRow(c->id, c->name, colorOf(c->colorIndex));
            // The legend is never cut: the plot gives way.
            auto* scroll = static_cast<QScrollArea*>(panel_->parentWidget()->parentWidget());
            scroll->setMinimumWidth(panel_->sizeHint().width() +
                                    scroll->verticalScrollBar()->sizeHint().width() + 4);
        }
        Curve& curve = curveFor(*c);
        curve.graph->setName(c->name);
        curve.graph->setVisible(c->visible);
        curve.graph->setValueAxis(c->rightAxis ? plot_->yAxis2 : plot_->yAxis);
        anyRight = anyRight || (c->rightAxis && c->visible);
        if (!c->visible) continue;
        sampleForView(c->samples, t0, t1, columns, points_);
        QVector<QCPGraphData> cells(static_cast<qsizetype>(points_.keys.size()));
        for (std::size_t i = 0; i < points_.keys.size(); ++i)
            cells[qsizetype(i)] = QCPGraphData(points_.keys[i], points_.values[i]);
        curve.graph->data()->set(cells, true);
    }
    plot_->yAxis2->setVisible(anyRight);
    if (autoY()) autoscaleY();
    updateStartMarks();
    updateCursorPanel();
    updateStatus();
    inRefresh_ = false;
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void CurvixWindow::replotNow() {
    plot_->replot(QCustomPlot::rpImmediateRefresh);
}

void CurvixWindow::autoscaleY() {
    int64_t t0, t1;
    visibleRange(t0, t1);
    float lo[2] = {std::numeric_limits<float>::infinity(), std::numeric_limits<float>::infinity()};
    float hi[2] = {-std::numeric_limits<float>::infinity(),
                   -std::numeric_limits<float>::infinity()};
    for (const Channel* c : data_.channels()) {
        if (!c->visible) continue;
        float a, b;
        if (!rangeOf(c->samples, t0, t1, a, b)) continue;
        const int axis = c->rightAxis ? 1 : 0;
        lo[axis] = std::min(lo[axis], a);
        hi[axis] = std::max(hi[axis], b);
    }
    QCPAxis* axes[2] = {plot_->yAxis, plot_->yAxis2};
    for (int i = 0; i < 2; ++i) {
        if (lo[i] > hi[i]) continue;
        double a = lo[i], b = hi[i];
        const double pad = b > a ? (b - a) * 0.05 : std::max(std::fabs(a) * 0.05, 0.5);
        axes[i]->setRange(a - pad, b + pad);
    }
}

void CurvixWindow::updateStartMarks() {
    const auto& marks = data_.startMarks();
    while (startLines_.size() < marks.size()) {
        auto* line = new QCPItemStraightLine(plot_);
        line->setPen(QPen(QColor(0, 0x80, 0), 1, Qt::DotLine));
        const double key = marks[startLines_.size()] / 1000.0;
        line->point1->setCoords(key, 0);
        line->point2->setCoords(key, 1);
        line->setClipToAxisRect(true);
        auto* label = new QCPItemText(plot_);
        label->setClipToAxisRect(true);
        label->position->setTypeX(QCPItemPosition::ptPlotCoords);
        label->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
        label->position->setCoords(key, 1.0);
        label->setPositionAlignment(Qt::AlignBottom | Qt::AlignLeft);
        label->setText(QStringLiteral("старт"));
        label->setColor(QColor(0, 0x80, 0));
        startLines_.push_back(line);
    }
}

QString CurvixWindow::timeText(int64_t ms) const {
    if (data_.timeBase() == TimeBase::LocalTime)
        return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("hh:mm:ss,zzz"));
    return csvTime(TimeBase::Elapsed, ms) + QStringLiteral(" с");
}

void CurvixWindow::setCursorAt(int which, int64_t t) {
    const int i = which == 2 ? 1 : 0;
    cursorSet_[i] = true;
    cursorTime_[i] = t;
    updateCursorPanel();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void CurvixWindow::clearCursors() {
    cursorSet_[0] = cursorSet_[1] = false;
    updateCursorPanel();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void CurvixWindow::updateCursorPanel() {
    for (int i = 0; i < 2; ++i) {
        cursorLine_[i]->setVisible(cursorSet_[i]);
        cursorLabel_[i]->setVisible(cursorSet_[i]);
        if (!cursorSet_[i]) continue;
        const double key = cursorTime_[i] / 1000.0;
        cursorLine_[i]->point1->setCoords(key, 0);
        cursorLine_[i]->point2->setCoords(key, 1);
        // The second label a line lower, so that close cursors stay readable.
        cursorLabel_[i]->position->setCoords(key, i == 0 ? 0.0 : 0.035);
        cursorLabel_[i]->setText(timeText(cursorTime_[i]));
    }
    const QString none = QStringLiteral("—");
    QString delta = QStringLiteral("Δt: —");
    if (cursorSet_[0] && cursorSet_[1]) {
        QString seconds = QString::number((cursorTime_[1] - cursorTime_[0]) / 1000.0, 'f', 3);
        seconds.replace(QLatin1Char('.'), QLatin1Char(','));
        delta = QStringLiteral("Δt: ") + seconds + QStringLiteral(" с");
    }
    panel_->setCursorTexts(
        QStringLiteral("Курсор 1: ") + (cursorSet_[0] ? timeText(cursorTime_[0]) : none),
        QStringLiteral("Курсор 2: ") + (cursorSet_[1] ? timeText(cursorTime_[1]) : none), delta);
    for (const Channel* c : data_.channels()) {
        ChannelPanel::Row* row = panel_->row(c->id);
        if (!row) continue;
        float v[2];
        bool has[2];
        for (int i = 0; i < 2; ++i) {
            has[i] = cursorSet_[i] && c->visible && valueAt(c->samples, cursorTime_[i], v[i]);
            (i == 0 ? row->cursor1 : row->cursor2)->setText(has[i] ? number(v[i]) : none);
        }
        row->delta->setText(has[0] && has[1] ? number(double(v[1]) - double(v[0])) : none);
    }
}

QString CurvixWindow::statusText() const {
    QStringList parts;
    if (!sourceState_.isEmpty()) parts << sourceState_;
    parts << lbCounts_->text();
    if (!lbProblems_->text().isEmpty()) parts << lbProblems_->text();
    return parts.join(QStringLiteral("  |  "));
}

void CurvixWindow::updateStatus() {
    lbSource_->setText(sourceState_);
    lbSource_->setVisible(!sourceState_.isEmpty());
    lbCounts_->setText(QStringLiteral("Каналов: %1, отсчётов: %2")
                           .arg(data_.channels().size())
                           .arg(data_.sampleCount()));
    const Counters& n = data_.counters();
    QStringList problems;
    if (n.invalidRecords)
        problems
            << QStringLiteral("ошибочных записей: %1 (%2)").arg(n.invalidRecords).arg(n.lastError);
    if (n.unknownIds) problems << QStringLiteral("каналов без описания: %1").arg(n.unknownIds);
    if (n.nonFinite) problems << QStringLiteral("нечисловых значений: %1").arg(n.nonFinite);
    if (n.backwardStamps)
        problems << QStringLiteral("меток времени назад: %1").arg(n.backwardStamps);
    if (n.foreignAddress)
        problems << QStringLiteral("сообщений другому окну: %1").arg(n.foreignAddress);
    if (n.skippedLines)
        problems << QStringLiteral("пропущено строк: %1 (первая: %2)")
                        .arg(n.skippedLines)
                        .arg(n.firstSkippedLine);
    QString text = problems.join(QStringLiteral(", "));
    if (!text.isEmpty()) text[0] = text[0].toUpper();
    lbProblems_->setText(text);
}

void CurvixWindow::setSpan(int64_t spanMs) {
    spanMs_ = spanMs;
    for (int i = 0; i < cbSpan_->count(); ++i)
        if (cbSpan_->itemData(i).toLongLong() == spanMs) cbSpan_->setCurrentIndex(i);
    setFollowing(true);
}

void CurvixWindow::setFollowing(bool on) {
    following_ = on && data_.timeBase() == TimeBase::LocalTime;
    btFollow_->setText(following_ ? QStringLiteral("Пауза") : QStringLiteral("Следить"));
    refresh();
}

void CurvixWindow::showFullView() {
    chbAutoY_->QCheckBox::setChecked(true);
    if (data_.timeBase() == TimeBase::LocalTime) {
        setSpan(0);
        return;
    }
    haveView_ = false; // the next refresh takes the whole range
    refresh();
}

void CurvixWindow::userRangeChange(bool horizontal, bool vertical) {
    if (horizontal && following_) {
        following_ = false;
        btFollow_->setText(QStringLiteral("Следить"));
    }
    if (vertical && chbAutoY_->isChecked()) chbAutoY_->QCheckBox::setChecked(false);
    haveView_ = true;
}

void CurvixWindow::plotMousePress(QMouseEvent* event) {
    pressPos_ = event->pos();
    pressButton_ = event->button();
    dragging_ = false;
}

void CurvixWindow::plotMouseMove(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) return;
    const QPoint moved = event->pos() - pressPos_;
    if (!dragging_ && moved.manhattanLength() < 4) return;
    dragging_ = true;
    userRangeChange(std::abs(moved.x()) >= 2, std::abs(moved.y()) >= 4);
}

void CurvixWindow::plotMouseRelease(QMouseEvent* event) {
    const bool click = !dragging_ && (event->pos() - pressPos_).manhattanLength() < 4;
    dragging_ = false;
    if (!click || !plot_->axisRect()->rect().contains(event->pos())) return;
    const int64_t t = toMs(plot_->xAxis->pixelToCoord(event->pos().x()));
    if (pressButton_ == Qt::LeftButton)
        setCursorAt(1, t);
    else if (pressButton_ == Qt::RightButton)
        setCursorAt(2, t);
}

void CurvixWindow::plotWheel(QWheelEvent* event) {
    // Over an axis the wheel zooms that axis alone; over the curves both.
    QCPAxisRect* rect = plot_->axisRect();
    const QPointF pos = event->position();
    const QRect area = rect->rect();
    if (pos.x() < area.left()) {
        rect->setRangeZoom(Qt::Vertical);
        rect->setRangeZoomAxes({plot_->xAxis}, {plot_->yAxis});
        userRangeChange(false, true);
    } else if (pos.x() > area.right()) {
        rect->setRangeZoom(Qt::Vertical);
        rect->setRangeZoomAxes({plot_->xAxis}, {plot_->yAxis2});
        userRangeChange(false, true);
    } else if (pos.y() > area.bottom()) {
        rect->setRangeZoom(Qt::Horizontal);
        userRangeChange(true, false);
    } else {
        rect->setRangeZoom(Qt::Horizontal | Qt::Vertical);
        rect->setRangeZoomAxes({plot_->xAxis}, {plot_->yAxis, plot_->yAxis2});
        userRangeChange(true, true);
    }
}

bool CurvixWindow::loadLog(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qmt::showMessage(QStringLiteral("Не удаётся открыть файл ") + path,
                         QStringLiteral("CURVIX"), qmt::MsgIcon::Error, this);
        return false;
    }
    const ValueLog log = parseValueLog(file.readAll());
    if (!log.error.isEmpty()) {
        qmt::showMessage(path + QStringLiteral(":\n") + log.error, QStringLiteral("CURVIX"),
                         qmt::MsgIcon::Error, this);
        return false;
    }
    loadValueLog(log, data_);
    data_.counters().skippedLines = log.skipped;
    data_.counters().firstSkippedLine = log.firstSkipped;
    logPath_ = path;
    dump(QStringLiteral("log %1 channels, %2 lines, %3 skipped")
             .arg(log.names.size())
             .arg(log.timesMs.size())
             .arg(log.skipped));
    sourceState_ = QFileInfo(path).fileName();
    setWindowTitle(QStringLiteral("CURVIX — ") + QFileInfo(path).fileName());
    haveView_ = false;
    refresh();
    return true;
}

bool CurvixWindow::exportCsv(const QString& path, bool visibleOnly) {
    int64_t t0 = std::numeric_limits<int64_t>::min(), t1 = std::numeric_limits<int64_t>::max();
    if (visibleOnly) visibleRange(t0, t1);
    QFile file(path);
    const bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                    writeCsv(data_, t0, t1, file) && file.flush();
    if (!ok) {
        file.close();
        qmt::showMessage(QStringLiteral("Ошибка записи в файл ") + path, QStringLiteral("CURVIX"),
                         qmt::MsgIcon::Error, this);
    }
    return ok;
}

bool CurvixWindow::savePng(const QString& path) {
    const bool ok = plot_->savePng(path, plot_->width(), plot_->height());
    if (!ok)
        qmt::showMessage(QStringLiteral("Ошибка записи в файл ") + path, QStringLiteral("CURVIX"),
                         qmt::MsgIcon::Error, this);
    return ok;
}

void CurvixWindow::miOpenLogClick() {
    qmt::FileDialogRequest request;
    request.owner = this;
    request.caption = QStringLiteral("Открыть журнал значений");
    request.filter = QStringLiteral("Log-файлы (*.log);;Все файлы (*)");
    const QString path = qmt::prompts().openFileName(request);
    if (path.isEmpty()) return;
    // A log opens beside the live curves, never over them.
    auto* window = new CurvixWindow(TimeBase::Elapsed);
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (!window->loadLog(path)) {
        delete window;
        return;
    }
    window->show();
}

void CurvixWindow::miExportAllClick() {
    qmt::FileDialogRequest request;
    request.owner = this;
    request.caption = QStringLiteral("Экспорт в CSV");
    request.filter = QStringLiteral("CSV (*.csv);;Все файлы (*)");
    request.defaultSuffix = QStringLiteral("csv");
    const QString path = qmt::prompts().saveFileName(request);
    if (!path.isEmpty()) exportCsv(path, false);
}

void CurvixWindow::miExportVisibleClick() {
    qmt::FileDialogRequest request;
    request.owner = this;
    request.caption = QStringLiteral("Экспорт видимого диапазона в CSV");
    request.filter = QStringLiteral("CSV (*.csv);;Все файлы (*)");
    request.defaultSuffix = QStringLiteral("csv");
    const QString path = qmt::prompts().saveFileName(request);
    if (!path.isEmpty()) exportCsv(path, true);
}

void CurvixWindow::miSavePngClick() {
    qmt::FileDialogRequest request;
    request.owner = this;
    request.caption = QStringLiteral("Сохранить вид в PNG");
    request.filter = QStringLiteral("PNG (*.png);;Все файлы (*)");
    request.defaultSuffix = QStringLiteral("png");
    const QString path = qmt::prompts().saveFileName(request);
    if (!path.isEmpty()) savePng(path);
}

void CurvixWindow::btFollowClick() {
    if (following_)
        setFollowing(false);
    else
        setFollowing(true);
}

void CurvixWindow::btFullViewClick() {
    showFullView();
}

void CurvixWindow::btClearCursorsClick() {
    clearCursors();
}

void CurvixWindow::chbAutoYClick() {
    refresh();
}

void CurvixWindow::cbSpanChange() {
    setSpan(cbSpan_->currentData().toLongLong());
}

} // namespace curvix
