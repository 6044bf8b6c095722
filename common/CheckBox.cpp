#include "common/CheckBox.h"

#include "common/Ui.h"

namespace qmt {

CheckBox::CheckBox(QWidget* parent) : CheckBox(QString(), parent) {}

CheckBox::CheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent) {
    // clicked comes from the user only (mouse or keyboard), never from setChecked.
    connect(this, &QAbstractButton::clicked, this, [this] { userToggled(); });
}

void CheckBox::setChecked(bool on) {
    if (on == isChecked()) return;
    QCheckBox::setChecked(on);
    if (onClick_) onClick_();
}

void CheckBox::userClick() {
    if (!isEnabled()) return;
    QCheckBox::setChecked(!isChecked());
    userToggled();
}

void CheckBox::userToggled() {
    if (onClick_) guarded(onClick_);
}

} // namespace qmt
