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
