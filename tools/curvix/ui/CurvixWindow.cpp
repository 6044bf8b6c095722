// The window itself: its menus, toolbar and legend, the rooms it owns, what
// it keeps between runs, and its closing.
#include "ui/CurvixWindow.h"

#include "common/CheckBox.h"
#include "common/Ui.h"
#include "ui/ChannelPanel.h"
#include "ui/CursorTools.h"
#include "ui/FileOpening.h"
#include "ui/LiveFeed.h"
#include "ui/StatusLine.h"
#include "ui/StoreControls.h"
#include "ui/TraceLog.h"
#include "ui/ViewExport.h"
#include "ui/ViewNavigator.h"
#include "ui/ViewerSettings.h"

#include <qcustomplot.h>

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

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
    : QMainWindow(parent), data_(base), live_(base == TimeBase::LocalTime),
      trace_(std::make_unique<TraceLog>()) {
    setObjectName(QStringLiteral("CurvixWindow"));
    setWindowTitle(QStringLiteral("CURVIX"));
    buildUi();
    loadSettings();
    status_->setSource(base == TimeBase::LocalTime ? QStringLiteral("Ожидание данных") : QString());
    updateStatus();
}

CurvixWindow::~CurvixWindow() {
    // A worker still reading ends before the window it hands its data to.
    delete opener_;
    opener_ = nullptr;
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

void CurvixWindow::buildToolBar() {
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
        store_ = std::make_unique<StoreControls>(
            tools, data_, *trace_, [this] { refresh(); },
            [this] {
                nav_->setHaveView(false);
                refresh();
            });
    } else {
        // A file does not grow: there is nothing to follow.
        for (QAction* a : tools->actions())
            if (QWidget* w = tools->widgetForAction(a);
                w == cbSpan_ || w == btFollow_ || w == spanLabel)
                a->setVisible(false);
    }
    for (QPushButton* b : tools->findChildren<QPushButton*>())
        b->setMinimumWidth(
            std::max(b->minimumWidth(), b->fontMetrics().horizontalAdvance(b->text()) + 28));
}

void CurvixWindow::buildPanel(QSplitter* splitter) {
    auto* scroll = new QScrollArea(splitter);
    scroll->setObjectName(QStringLiteral("channelScroll"));
    panel_ = new ChannelPanel(scroll);
    scroll->setWidget(panel_);
    scroll->setWidgetResizable(true);
    panel_->onVisibleChanged = [this](int32_t id) {
        for (Channel* c : data_.channels())
            if (c->id == id) {
                c->visible = panel_->row(id)->visible->isChecked();
                settings_->saveChannel(*c);
            }
        refresh();
    };
    panel_->onAxisChanged = [this](int32_t id) {
        for (Channel* c : data_.channels())
            if (c->id == id) {
                c->rightAxis = panel_->row(id)->right->isChecked();
                settings_->saveChannel(*c);
            }
        refresh();
    };
}

void CurvixWindow::buildUi() {
    tmRefresh_ = new QTimer(this);
    tmRefresh_->setObjectName(QStringLiteral("tmRefresh"));
    tmRefresh_->setSingleShot(true);
    // About 30 redraws a second at most, however fast samples come.
    tmRefresh_->setInterval(33);
    connect(tmRefresh_, &QTimer::timeout, this, [this] { qmt::guarded([this] { refresh(); }); });

    resize(1280, 800);
    buildMenus();
    buildToolBar();
    auto* splitter = new QSplitter(this);
    splitter_ = splitter;
    splitter->setObjectName(QStringLiteral("splitter"));
    buildPlot(splitter);
    buildPanel(splitter);
    settings_ = std::make_unique<ViewerSettings>(live_, data_, panel_, this, [this] { refresh(); });
    cursors_ = std::make_unique<CursorTools>(plot_, panel_, data_, [this] { fitPanel(); });
    nav_ = std::make_unique<ViewNavigator>(
        plot_, live_, ViewNavigator::Controls{cbSpan_, btFollow_, chbAutoY_, btBack_},
        [this] { refresh(); });
    nav_->onClick = [this](int which, int64_t t) { setCursorAt(which, t); };
    splitter->addWidget(plot_);
    splitter->addWidget(panel_->parentWidget()->parentWidget());
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    splitter->setSizes({900, 380});
    setCentralWidget(splitter);

    status_ = std::make_unique<StatusLine>(statusBar(), data_);
    exports_ = std::make_unique<ViewExport>(plot_, data_, *cursors_, statusBar(), this);
    opener_ = new FileOpening(
        statusBar(),
        [this](const QString& path, Dataset& data, const FileLoad& load) {
            data_ = std::move(data);
            showLoaded(path, load);
        },
        this);
    connect(opener_, &FileOpening::progress, this, &CurvixWindow::openProgress);
    connect(opener_, &FileOpening::finished, this, &CurvixWindow::openFinished);
    connect(opener_, &FileOpening::controlsShown, this, &CurvixWindow::giveEscapeToOpen);
    feed_ = new LiveFeed(
        data_, *status_, *trace_, [this] { scheduleRefresh(); }, [this] { updateStatus(); }, this);
}

void CurvixWindow::giveEscapeToOpen(bool on) {
    // One key, one owner: two buttons sharing Esc would leave it to neither.
    btClearCursors_->setShortcut(on ? QKeySequence() : QKeySequence(Qt::Key_Escape));
    opener_->cancelButton()->setShortcut(on ? QKeySequence(Qt::Key_Escape) : QKeySequence());
}

void CurvixWindow::loadSettings() {
    const WindowState s = settings_->loadWindow();
    if (!s.geometry.isEmpty()) restoreGeometry(s.geometry);
    if (!s.splitter.isEmpty()) splitter_->restoreState(s.splitter);
    if (s.autoY) chbAutoY_->QCheckBox::setChecked(*s.autoY);
    if (store_ && s.keepMs) store_->setRetention(*s.keepMs);
    if (live_ && s.spanMs) nav_->restoreSpan(*s.spanMs);
}

void CurvixWindow::saveSettings() const {
    WindowState s;
    s.geometry = saveGeometry();
    s.splitter = splitter_->saveState();
    s.autoY = nav_->autoY();
    if (live_) {
        s.spanMs = nav_->spanMs();
        s.keepMs = data_.retention();
    }
    settings_->saveWindow(s);
}

void CurvixWindow::closeEvent(QCloseEvent* event) {
    if (feed_->samplesArriving() &&
        qmt::showMessage(QStringLiteral("Данные ещё поступают. Закрыть окно и прекратить приём?"),
                         QStringLiteral("CURVIX"), qmt::MsgIcon::Question, this,
                         QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        event->ignore();
        return;
    }
    saveSettings();
    feed_->end();
    event->accept();
}

} // namespace curvix
