#include "ui/CurvixWindow.h"

#include "core/Csv.h"
#include "core/ValueLog.h"
#include "link/CheckBox.h"
#include "link/Ui.h"
#include "ui/ChannelPanel.h"
#include "ui/LiveSource.h"
#include "ui/WindowCommon.h"

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

struct SpanChoice {
    const char* text;
    int64_t ms;
};
const SpanChoice kSpans[] = {
    {"1 мин", 60'000}, {"10 мин", 600'000}, {"1 ч", 3'600'000}, {"Весь прогон", 0}};

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

} // namespace curvix
