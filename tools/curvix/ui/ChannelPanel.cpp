#include "ui/ChannelPanel.h"

#include "link/CheckBox.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
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

} // namespace

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
    auto* hint = new QLabel(QStringLiteral("Левый щелчок — курсор 1, правый — курсор 2"), this);
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
    for (int c = 0; c < heads.size(); ++c) {
        auto* head = new QLabel(heads[c], this);
        head->setObjectName(names[c]);
        QFont bold = head->font();
        bold.setBold(true);
        head->setFont(bold);
        grid_->addWidget(head, 0, c, c >= 2 ? Qt::AlignRight : Qt::AlignLeft);
    }
    outer->addLayout(grid_);
    outer->addStretch(1);
}

ChannelPanel::Row* ChannelPanel::row(int32_t id) {
    auto it = rows_.find(id);
    return it == rows_.end() ? nullptr : &it->second;
}

ChannelPanel::Row& ChannelPanel::ensureRow(int32_t id, const QString& name, const QColor& color) {
    auto it = rows_.find(id);
    if (it != rows_.end()) {
        if (it->second.visible->text() != name) it->second.visible->setText(name);
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
        ++line;
    }
    return added;
}

void ChannelPanel::setCursorTexts(const QString& first, const QString& second,
                                  const QString& delta) {
    cursor1_->setText(first);
    cursor2_->setText(second);
    delta_->setText(delta);
}

} // namespace curvix
