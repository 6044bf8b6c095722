// The legend beside the plot: channel rows, cursor values, statistics, step
// figures and the level marker's editor.
#include "ui/ChannelPanel.h"

#include "common/CheckBox.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace curvix {
namespace {

QIcon swatch(const QColor& color) {
    QPixmap pixmap(14, 14);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.fillRect(1, 5, 12, 4, color);
    return QIcon(pixmap);
}

QLabel* valueLabel(QWidget* parent, const QString& name) {
    auto* label = new QLabel(QStringLiteral("—"), parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Room for a register value with a fraction; longer texts widen the column.
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("-000000,0")) + 4);
    return label;
}

const char* const kStatNames[ChannelPanel::kStatColumns] = {"Min", "Max", "Mean",
                                                            "Rms", "Pp",  "Count"};

} // namespace

QLabel* ChannelPanel::head(const QString& text, const QString& name) {
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

ChannelPanel::ChannelPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("channelPanel"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 6, 6);
    cursor1_ = new QLabel(QStringLiteral("Курсор 1: —"), this);
    cursor1_->setObjectName(QStringLiteral("lbCursor1"));
    cursor2_ = new QLabel(QStringLiteral("Курсор 2: —"), this);
    cursor2_->setObjectName(QStringLiteral("lbCursor2"));
    delta_ = new QLabel(QStringLiteral("Δt: —"), this);
    delta_->setObjectName(QStringLiteral("lbDelta"));
    auto* hint = new QLabel(
        QStringLiteral(
            "Левый щелчок — курсор 1, правый — курсор 2; Ctrl или правая кнопка с протяжкой — увеличить"),
        this);
    hint->setObjectName(QStringLiteral("lbCursorHint"));
    hint->setWordWrap(true);
    outer->addWidget(cursor1_);
    outer->addWidget(cursor2_);
    outer->addWidget(delta_);
    outer->addWidget(hint);

    grid_ = new QGridLayout;
    grid_->setHorizontalSpacing(8);
    const QStringList heads = {QStringLiteral("Канал"), QStringLiteral("Пр. ось"),
                               QStringLiteral("Курсор 1"), QStringLiteral("Курсор 2"),
                               QStringLiteral("Разность")};
    const QStringList names = {QStringLiteral("lbHeadChannel"), QStringLiteral("lbHeadAxis"),
                               QStringLiteral("lbHeadCursor1"), QStringLiteral("lbHeadCursor2"),
                               QStringLiteral("lbHeadDelta")};
    for (int c = 0; c < heads.size(); ++c)
        grid_->addWidget(head(heads[c], names[c]), 0, c, c >= 2 ? Qt::AlignRight : Qt::AlignLeft);
    grid_->setColumnStretch(5, 1); // columns packed to the left
    outer->addLayout(grid_);

    auto* markerRow = new QHBoxLayout;
    auto* markerLabel = new QLabel(QStringLiteral("Уровень Y:"), this);
    markerLabel->setObjectName(QStringLiteral("lbMarkerY"));
    marker_ = new QLineEdit(this);
    marker_->setObjectName(QStringLiteral("edMarkerY"));
    marker_->setToolTip(QStringLiteral("Значение и Enter, или двойной щелчок по значению курсора"));
    marker_->setMaximumWidth(
        marker_->fontMetrics().horizontalAdvance(QStringLiteral("-000000,000")) + 16);
    markerRight_ = new qmt::CheckBox(QStringLiteral("по правой оси"), this);
    markerRight_->setObjectName(QStringLiteral("chbMarkerRight"));
    markerClear_ = new QPushButton(QStringLiteral("Убрать"), this);
    markerClear_->setObjectName(QStringLiteral("btClearMarker"));
    markerRow->addWidget(markerLabel);
    markerRow->addWidget(marker_);
    markerRow->addWidget(markerRight_);
    markerRow->addWidget(markerClear_);
    markerRow->addStretch(1);
    outer->addSpacing(6);
    outer->addLayout(markerRow);

    statsHead_ = head(QStringLiteral("Между курсорами: поставьте оба курсора"),
                      QStringLiteral("lbStatsHead"));
    statsHead_->setWordWrap(true);
    outer->addSpacing(6);
    outer->addWidget(statsHead_);
    statGrid_ = new QGridLayout;
    statGrid_->setHorizontalSpacing(8);
    statGrid_->addWidget(head(QStringLiteral("Канал"), QStringLiteral("lbHeadStat0")), 0, 0);
    for (int c = 0; c < kStatColumns; ++c) {
        QLabel* label = head(QString::fromUtf8(kStatRows[c].caption),
                             QStringLiteral("lbHeadStat") + QString::number(c + 1));
        label->setToolTip(QString::fromUtf8(kStatRows[c].definition));
        statGrid_->addWidget(label, 0, c + 1, Qt::AlignRight);
    }
    statGrid_->setColumnStretch(7, 1);
    outer->addLayout(statGrid_);

    stepHead_ = head(QStringLiteral("Переходная характеристика"), QStringLiteral("lbStepHead"));
    stepHead_->setWordWrap(true);
    outer->addSpacing(6);
    outer->addWidget(stepHead_);
    stepGrid_ = new QGridLayout;
    stepGrid_->setHorizontalSpacing(8);
    for (int r = 0; r < kStepRows; ++r) {
        auto* label = new QLabel(QString::fromUtf8(kStepRowTexts[r].caption), this);
        label->setObjectName(QStringLiteral("lbStepRow") + QString::number(r));
        label->setToolTip(QString::fromUtf8(kStepRowTexts[r].definition));
        stepGrid_->addWidget(label, r + 1, 0);
    }
    stepGrid_->setColumnStretch(8, 1);
    outer->addLayout(stepGrid_);
    outer->addStretch(1);
    setStepColumns({}, {});
}

ChannelPanel::Row* ChannelPanel::row(int32_t id) {
    auto it = rows_.find(id);
    return it == rows_.end() ? nullptr : &it->second;
}

ChannelPanel::Row& ChannelPanel::ensureRow(int32_t id, const QString& name, const QColor& color) {
    auto it = rows_.find(id);
    if (it != rows_.end()) {
        if (it->second.visible->text() != name) {
            it->second.visible->setText(name);
            it->second.statName->setText(name);
        }
        return it->second;
    }
    Row row;
    const QString key = QString::number(id);
    row.visible = new qmt::CheckBox(name, this);
    row.visible->setObjectName(QStringLiteral("chbChannel") + key);
    row.visible->QCheckBox::setChecked(true);
    row.visible->setIcon(swatch(color));
    row.visible->setOnClick([this, id] {
        if (onVisibleChanged) onVisibleChanged(id);
    });
    row.right = new qmt::CheckBox(QString(), this);
    row.right->setObjectName(QStringLiteral("chbRightAxis") + key);
    row.right->setToolTip(QStringLiteral("Шкала справа"));
    row.right->setOnClick([this, id] {
        if (onAxisChanged) onAxisChanged(id);
    });
    row.cursor1 = valueLabel(this, QStringLiteral("lbValue1_") + key);
    row.cursor2 = valueLabel(this, QStringLiteral("lbValue2_") + key);
    row.delta = valueLabel(this, QStringLiteral("lbDelta_") + key);
    for (QLabel* value : {row.cursor1, row.cursor2}) {
        value->setToolTip(QStringLiteral("Двойной щелчок — уровень Y"));
        value->installEventFilter(this);
    }
    row.statName = new QLabel(name, this);
    row.statName->setObjectName(QStringLiteral("lbStatName_") + key);
    for (int c = 0; c < kStatColumns; ++c) {
        // As wide as their figures: seven columns must leave the plot its room.
        QLabel* stat = valueLabel(this, QStringLiteral("lbStat") + QLatin1String(kStatNames[c]) +
                                            QLatin1Char('_') + key);
        stat->setMinimumWidth(0);
        row.stats[std::size_t(c)] = stat;
    }
    Row& added = rows_.emplace(id, row).first->second;
    // Rows stay in id order, as the program announces its channels.
    int line = 1;
    for (auto& [rowId, r] : rows_) {
        QWidget* cells[] = {r.visible, r.right, r.cursor1, r.cursor2, r.delta};
        for (int c = 0; c < 5; ++c) {
            grid_->removeWidget(cells[c]);
            grid_->addWidget(cells[c], line, c, c >= 2 ? Qt::AlignRight : Qt::AlignLeft);
            cells[c]->show();
        }
        statGrid_->removeWidget(r.statName);
        statGrid_->addWidget(r.statName, line, 0);
        for (int c = 0; c < kStatColumns; ++c) {
            statGrid_->removeWidget(r.stats[std::size_t(c)]);
            statGrid_->addWidget(r.stats[std::size_t(c)], line, c + 1, Qt::AlignRight);
        }
        ++line;
    }
    return added;
}

void ChannelPanel::setColor(int32_t id, const QColor& color) {
    if (Row* r = row(id)) r->visible->setIcon(swatch(color));
}

void ChannelPanel::setCursorTexts(const QString& first, const QString& second,
                                  const QString& delta) {
    cursor1_->setText(first);
    cursor2_->setText(second);
    delta_->setText(delta);
}

void ChannelPanel::setStatsHead(const QString& text) {
    statsHead_->setText(text);
}

void ChannelPanel::setStatsShown(int32_t id, bool shown) {
    Row* r = row(id);
    if (!r) return;
    r->statName->setVisible(shown);
    for (QLabel* l : r->stats)
        l->setVisible(shown);
}

void ChannelPanel::setStepHead(const QString& text) {
    stepHead_->setText(text);
}

void ChannelPanel::setStepColumns(const std::vector<QString>& heads,
                                  const std::vector<std::array<QString, kStepRows>>& figures,
                                  bool steadyRows) {
    const std::size_t columns = heads.size();
    while (stepCells_.size() < columns * (kStepRows + 1)) {
        const std::size_t n = stepCells_.size();
        const int column = int(n / (kStepRows + 1)), line = int(n % (kStepRows + 1));
        QLabel* cell = line == 0 ? head(QString(), QString()) : new QLabel(this);
        cell->setObjectName(line == 0
                                ? QStringLiteral("lbStepHead_%1").arg(column + 1)
                                : QStringLiteral("lbStep%1_%2").arg(line - 1).arg(column + 1));
        cell->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        stepGrid_->addWidget(cell, line, column + 1, Qt::AlignRight);
        stepCells_.push_back(cell);
    }
    for (std::size_t n = 0; n < stepCells_.size(); ++n) {
        const std::size_t column = n / (kStepRows + 1), line = n % (kStepRows + 1);
        QLabel* cell = stepCells_[n];
        const bool rowShown = line <= std::size_t(kTargetStepRows) || steadyRows;
        cell->setVisible(column < columns && rowShown);
        if (column >= columns) continue;
        const QString text = line == 0 ? heads[column] : figures[column][line - 1];
        if (cell->text() != text) cell->setText(text);
        if (line > 0) cell->setToolTip(QString::fromUtf8(kStepRowTexts[line - 1].definition));
    }
    for (int r = 0; r < kStepRows; ++r)
        if (QLayoutItem* item = stepGrid_->itemAtPosition(r + 1, 0))
            item->widget()->setVisible(columns > 0 && (r < kTargetStepRows || steadyRows));
}

bool ChannelPanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick && onValueChosen) {
        for (const auto& [id, r] : rows_) {
            if (watched == r.cursor1 || watched == r.cursor2) {
                onValueChosen(id, watched == r.cursor1 ? 1 : 2);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace curvix
