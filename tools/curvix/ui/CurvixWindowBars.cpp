// The window's menus and its toolbar, each command wired to its handler.
#include "ui/CurvixWindow.h"

#include "common/CheckBox.h"
#include "common/Ui.h"
#include "ui/CursorTools.h"
#include "ui/StoreControls.h"
#include "ui/ViewExport.h"
#include "ui/ViewNavigator.h"

#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QToolBar>

#include <algorithm>
#include <functional>

namespace curvix {
namespace {

struct SpanChoice {
    const char* text;
    int64_t ms;
};
const SpanChoice kSpans[] = {
    {"1 мин", 60'000}, {"10 мин", 600'000}, {"1 ч", 3'600'000}, {"Весь прогон", 0}};

} // namespace

void CurvixWindow::buildMenus() {
    struct Item {
        const char* name;
        const char* text;
        std::function<void()> handler;
        QList<QKeySequence> keys;
    };
    // The commands a test drives by name keep their handler; the others go to
    // the helper that does the work.
    auto own = [this](void (CurvixWindow::*method)()) { return qmt::handler(this, method); };
    const Item fileItems[] = {
        {"miOpenLog",
         "Открыть журнал значений...",
         own(&CurvixWindow::miOpenLogClick),
         {QKeySequence::Open}},
        {"miOpenCsv", "Открыть CSV...", own(&CurvixWindow::miOpenCsvClick), {}},
        {nullptr, nullptr, {}, {}},
        {"miExportAll", "Экспорт в CSV: все данные...", own(&CurvixWindow::miExportAllClick), {}},
        {"miExportVisible",
         "Экспорт в CSV: видимый диапазон...",
         own(&CurvixWindow::miExportVisibleClick),
         {}},
        {"miSavePng", "Сохранить вид в PNG...", own(&CurvixWindow::miSavePngClick), {}},
        {"miSaveSvg", "Сохранить вид в SVG...", own(&CurvixWindow::miSaveSvgClick), {}},
        {"miSavePdf", "Сохранить вид в PDF...", own(&CurvixWindow::miSavePdfClick), {}},
        {"miCopy", "Копировать", [this] { exports_->miCopyClick(); }, {QKeySequence::Copy}},
    };
    const Item viewItems[] = {
        {"miBack", "Назад", [this] { nav_->viewBack(); }, {Qt::Key_Backspace}},
        {"miZoomIn",
         "Крупнее по времени",
         [this] { nav_->zoomTime(0.5); },
         {Qt::Key_Plus, Qt::Key_Equal}},
        {"miZoomOut", "Мельче по времени", [this] { nav_->zoomTime(2.0); }, {Qt::Key_Minus}},
        {"miPanLeft", "Влево", [this] { nav_->panTime(-0.25); }, {Qt::Key_Left}},
        {"miPanRight", "Вправо", [this] { nav_->panTime(0.25); }, {Qt::Key_Right}},
        {"miPanUp", "Вверх", [this] { nav_->panValues(0.1); }, {Qt::Key_Up}},
        {"miPanDown", "Вниз", [this] { nav_->panValues(-0.1); }, {Qt::Key_Down}},
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
            qmt::onTriggered(action, item->handler);
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
    qmt::onClicked(btFollow_, [this] { nav_->setFollowing(!nav_->following()); });
    tools->addWidget(btFollow_);
    btFullView_ = new QPushButton(QStringLiteral("Весь вид"), tools);
    btFullView_->setObjectName(QStringLiteral("btFullView"));
    btFullView_->setShortcut(Qt::Key_Home);
    qmt::onClicked(btFullView_, [this] { nav_->showFullView(); });
    tools->addWidget(btFullView_);
    btBack_ = new QPushButton(QStringLiteral("Назад"), tools);
    btBack_->setObjectName(QStringLiteral("btBack"));
    btBack_->setToolTip(QStringLiteral("Предыдущий вид (Backspace)"));
    btBack_->setEnabled(false);
    qmt::onClicked(btBack_, [this] { nav_->viewBack(); });
    tools->addWidget(btBack_);
    chbAutoY_ = new qmt::CheckBox(QStringLiteral("Автомасштаб Y"), tools);
    chbAutoY_->setObjectName(QStringLiteral("chbAutoY"));
    chbAutoY_->QCheckBox::setChecked(true);
    chbAutoY_->setOnClick([this] { refresh(); });
    tools->addWidget(chbAutoY_);
    btClearCursors_ = new QPushButton(QStringLiteral("Убрать курсоры"), tools);
    btClearCursors_->setObjectName(QStringLiteral("btClearCursors"));
    btClearCursors_->setShortcut(Qt::Key_Escape);
    qmt::onClicked(btClearCursors_, [this] { cursors_->clearCursors(); });
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

} // namespace curvix
