#include "common/RadioGroup.h"

#include "common/Ui.h"

#include <QButtonGroup>
#include <QFontMetrics>
#include <QRadioButton>

namespace qmt {

RadioGroup::RadioGroup(QWidget* parent) : QGroupBox(parent), group_(new QButtonGroup(this)) {
    group_->setExclusive(true);
    // idClicked comes from the user only (mouse or keyboard), never from setChecked.
    connect(group_, &QButtonGroup::idClicked, this, [this](int id) { userClicked(id); });
}

void RadioGroup::setItems(const QStringList& items) {
    for (QRadioButton* b : buttons_) {
        group_->removeButton(b);
        delete b;
    }
    buttons_.clear();
    index_ = -1;
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items[i], this);
        b->setObjectName(objectName() + QStringLiteral("_item%1").arg(i));
        group_->addButton(b, i);
        buttons_.push_back(b);
        b->show();
    }
    layoutItems();
}

QString RadioGroup::itemText(int index) const {
    return index >= 0 && index < count() ? buttons_[index]->text() : QString();
}

void RadioGroup::setItemText(int index, const QString& text) {
    if (index >= 0 && index < count()) buttons_[index]->setText(text);
}

QRadioButton* RadioGroup::button(int index) const {
    return index >= 0 && index < count() ? buttons_[index] : nullptr;
}

void RadioGroup::select(int index) {
    if (index < 0 || index >= count()) {
        // An exclusive group cannot be emptied while exclusive.
        group_->setExclusive(false);
        for (QRadioButton* b : buttons_)
            b->setChecked(false);
        group_->setExclusive(true);
        index_ = -1;
        return;
    }
    buttons_[index]->setChecked(true);
    index_ = index;
}

void RadioGroup::setItemIndex(int index) {
    if (index < -1 || index >= count()) index = -1;
    if (index == index_) return;
    select(index);
    if (index >= 0 && onClick_) onClick_();
}

void RadioGroup::click(int index) {
    if (index < 0 || index >= count() || index == index_) return;
    select(index);
    if (onClick_) guarded(onClick_);
}

void RadioGroup::userClicked(int index) {
    if (index == index_) return;
    index_ = index;
    if (onClick_) guarded(onClick_);
}

void RadioGroup::setItemRows(int firstCentre, int pitch) {
    firstCentre_ = firstCentre;
    pitch_ = pitch;
    layoutItems();
}

void RadioGroup::resizeEvent(QResizeEvent* event) {
    QGroupBox::resizeEvent(event);
    layoutItems();
}

void RadioGroup::layoutItems() {
    if (buttons_.empty()) return;
    const int rowHeight = QFontMetrics(font()).height() + 2;
    int first = firstCentre_;
    int pitch = pitch_;
    if (first < 0) {
        const int top = title().isEmpty() ? 4 : QFontMetrics(font()).height();
        pitch = qMax(rowHeight, (height() - top - 4) / count());
        first = top + pitch / 2;
    }
    for (int i = 0; i < count(); ++i) {
        const int centre = first + pitch * i;
        buttons_[i]->setGeometry(8, centre - rowHeight / 2, qMax(0, width() - 12), rowHeight);
    }
}

} // namespace qmt
