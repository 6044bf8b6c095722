// The window's menus and its toolbar, each command wired to its handler.
#include "ui/CurvixWindow.h"

#include "common/CheckBox.h"
#include "common/Ui.h"
#include "ui/StoreControls.h"
#include "ui/ViewNavigator.h"

#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QToolBar>

#include <algorithm>

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

} // namespace curvix
