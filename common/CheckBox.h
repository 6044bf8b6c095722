#pragma once
// The program's check box, with the rule of RadioGroup:
//  - a click of the user runs the handler through the guard;
//  - a programmatic change of the checked state runs the handler directly, also
//    while the box is disabled, so its exceptions reach the caller;
//  - setting the state the box already has runs nothing.
// A handler that unchecks its own box (a failed action) may do so freely: the
// nested change runs the handler once more with the new state, as it would for
// any programmatic change.

#include <QCheckBox>

#include <functional>

namespace qmt {

class CheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit CheckBox(QWidget* parent = nullptr);
    CheckBox(const QString& text, QWidget* parent = nullptr);

    bool checked() const { return isChecked(); }
    // Programmatic change; see the rule above. Exceptions propagate.
    void setChecked(bool on);

    void setOnClick(std::function<void()> handler) { onClick_ = std::move(handler); }
    // Runs a user's click (tests and keyboard shortcuts): toggles and runs the
    // handler through the guard.
    void userClick();

private:
    void userToggled();

    std::function<void()> onClick_;
};

} // namespace qmt
