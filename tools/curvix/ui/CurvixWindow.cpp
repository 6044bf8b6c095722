#include "ui/CurvixWindow.h"

#include "common/CheckBox.h"
#include "common/Ui.h"
#include "core/Csv.h"
#include "core/ValueLog.h"
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
#include <QLineEdit>
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

CurvixWindow::CurvixWindow(TimeBase base, QWidget* parent)
    : QMainWindow(parent), data_(base), live_(base == TimeBase::LocalTime) {
    setObjectName(QStringLiteral("CurvixWindow"));
    setWindowTitle(QStringLiteral("CURVIX"));
    if (const char* path = std::getenv("CURVIX_DUMP"); path && *path) {
        dump_ = std::make_unique<QFile>(QString::fromLocal8Bit(path));
        if (!dump_->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
            dump_.reset();
    }
    buildUi();
    loadSettings();
    sourceState_ = base == TimeBase::LocalTime ? QStringLiteral("Ожидание данных") : QString();
    updateStatus();
}

void CurvixWindow::buildMenus() {
    struct Item {
        const char* name;
        const char* text;
        void (CurvixWindow::*handler)();
        QList<QKeySequence> keys;
    };
    const Item fileItems[] = {
        {"miOpenLog",
         "Открыть журнал значений...",
         &CurvixWindow::miOpenLogClick,
         {QKeySequence::Open}},
        {"miOpenCsv", "Открыть CSV...", &CurvixWindow::miOpenCsvClick, {}},
        {nullptr, nullptr, nullptr, {}},
        {"miExportAll", "Экспорт в CSV: все данные...", &CurvixWindow::miExportAllClick, {}},
        {"miExportVisible",
         "Экспорт в CSV: видимый диапазон...",
         &CurvixWindow::miExportVisibleClick,
         {}},
        {"miSavePng", "Сохранить вид в PNG...", &CurvixWindow::miSavePngClick, {}},
        {"miSaveSvg", "Сохранить вид в SVG...", &CurvixWindow::miSaveSvgClick, {}},
        {"miSavePdf", "Сохранить вид в PDF...", &CurvixWindow::miSavePdfClick, {}},
        {"miCopy", "Копировать", &CurvixWindow::miCopyClick, {QKeySequence::Copy}},
    };
    const Item viewItems[] = {
        {"miBack", "Назад", &CurvixWindow::miBackClick, {Qt::Key_Backspace}},
        {"miZoomIn",
         "Крупнее по времени",
         &CurvixWindow::miZoomInClick,
         {Qt::Key_Plus, Qt::Key_Equal}},
        {"miZoomOut", "Мельче по времени", &CurvixWindow::miZoomOutClick, {Qt::Key_Minus}},
        {"miPanLeft", "Влево", &CurvixWindow::miPanLeftClick, {Qt::Key_Left}},
        {"miPanRight", "Вправо", &CurvixWindow::miPanRightClick, {Qt::Key_Right}},
        {"miPanUp", "Вверх", &CurvixWindow::miPanUpClick, {Qt::Key_Up}},
        {"miPanDown", "Вниз", &CurvixWindow::miPanDownClick, {Qt::Key_Down}},
    };
    auto fill = [this](QMenu* menu, const Item* begin, const Item* end) {
        for (const Item* item = begin; item != end; ++item) {
            if (!item->name) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(QString::fromUtf8(item->text));
            action->setObjectName(QString::fromLatin1(item->name));
            action->setShortcuts(item->keys);
            qmt::onTriggered(action, qmt::handler(this, item->handler));
        }
    };
    auto* fileMenu = menuBar()->addMenu(QStringLiteral("Файл"));
    fileMenu->setObjectName(QStringLiteral("mmFile"));
    fill(fileMenu, std::begin(fileItems), std::end(fileItems));
    fileMenu->addSeparator();
    QAction* quit = fileMenu->addAction(QStringLiteral("Закрыть"));
    quit->setObjectName(QStringLiteral("miClose"));
    quit->setShortcut(QKeySequence::Close);
    qmt::onTriggered(quit, [this] { close(); });
    auto* viewMenu = menuBar()->addMenu(QStringLiteral("Вид"));
    viewMenu->setObjectName(QStringLiteral("mmView"));
    fill(viewMenu, std::begin(viewItems), std::end(viewItems));
}

void CurvixWindow::buildUi() {
    resize(1280, 800);
    buildMenus();
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
    btBack_ = new QPushButton(QStringLiteral("Назад"), tools);
    btBack_->setObjectName(QStringLiteral("btBack"));
    btBack_->setToolTip(QStringLiteral("Предыдущий вид (Backspace)"));
    btBack_->setEnabled(false);
    qmt::onClicked(btBack_, qmt::handler(this, &CurvixWindow::miBackClick));
    tools->addWidget(btBack_);
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
    if (live_) {
        buildStoreControls(tools);
    } else {
        // A file does not grow: there is nothing to follow.
        for (QAction* a : tools->actions())
            if (QWidget* w = tools->widgetForAction(a);
                w == cbSpan_ || w == btFollow_ || w == spanLabel)
                a->setVisible(false);
        following_ = false;
    }
    for (QPushButton* b : tools->findChildren<QPushButton*>())
        b->setMinimumWidth(
            std::max(b->minimumWidth(), b->fontMetrics().horizontalAdvance(b->text()) + 28));

    auto* splitter = new QSplitter(this);
    splitter_ = splitter;
    splitter->setObjectName(QStringLiteral("splitter"));
    buildPlot(splitter);
    auto* scroll = new QScrollArea(splitter);
    scroll->setObjectName(QStringLiteral("channelScroll"));
    panel_ = new ChannelPanel(scroll);
    scroll->setWidget(panel_);
    scroll->setWidgetResizable(true);
    panel_->onVisibleChanged = [this](int32_t id) {
        for (Channel* c : data_.channels())
            if (c->id == id) {
                c->visible = panel_->row(id)->visible->isChecked();
                saveChannel(*c);
            }
        refresh();
    };
    panel_->onAxisChanged = [this](int32_t id) {
        for (Channel* c : data_.channels())
            if (c->id == id) {
                c->rightAxis = panel_->row(id)->right->isChecked();
                saveChannel(*c);
            }
        refresh();
    };
    panel_->onValueChosen = [this](int32_t id, int which) {
        qmt::guarded([&] { valueChosen(id, which); });
    };
    connect(panel_->markerEdit(), &QLineEdit::returnPressed, this,
            [this] { qmt::guarded([this] { edMarkerYEnter(); }); });
    qmt::onClicked(panel_->markerClear(), qmt::handler(this, &CurvixWindow::btClearMarkerClick));
    panel_->markerRight()->setOnClick([this] {
        if (markerOn_) setMarker(markerValue_, panel_->markerRight()->isChecked());
    });
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
    buildOpenProgress();

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
    if (lbMemory_) lbMemory_->setText(memoryText());
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
