#pragma once
// A captioned group of radio items with an item index (-1 for none) and one
// click handler. The selection rule every window relies on:
//  - a click of the user on another item runs the handler through the guard;
//  - a programmatic change to a different item runs the handler directly, also
//    while the group is disabled, so its exceptions reach the caller;
//  - selecting the current item, or clearing the selection, runs nothing.

#include <QGroupBox>
#include <QStringList>

#include <functional>
#include <vector>

class QRadioButton;
class QButtonGroup;

namespace qmt {

class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit RadioGroup(QWidget* parent = nullptr);

    void setItems(const QStringList& items);
    int count() const { return static_cast<int>(buttons_.size()); }
    QString itemText(int index) const;
    void setItemText(int index, const QString& text);
    QRadioButton* button(int index) const;

    int itemIndex() const { return index_; }
    // Programmatic selection; see the rule above. Exceptions propagate.
    void setItemIndex(int index);
    void clearSelection() { setItemIndex(-1); }

    void setOnClick(std::function<void()> handler) { onClick_ = std::move(handler); }
    // Runs the handler as a click does (used by tests and keyboard shortcuts).
    void click(int index);

    // Item rows: centre of the first item below the group's top, and the pitch.
    // Without a call the items share the height below the caption evenly.
    void setItemRows(int firstCentre, int pitch);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void select(int index);
    void userClicked(int index);
    void layoutItems();

    std::vector<QRadioButton*> buttons_;
    QButtonGroup* group_;
    int index_ = -1;
    int firstCentre_ = -1;
    int pitch_ = 0;
    std::function<void()> onClick_;
};

} // namespace qmt
