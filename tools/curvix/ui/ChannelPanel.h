#pragma once
// The legend beside the plot: per channel its name in its curve's colour with a
// check box to show or hide it, a check box for the right-hand axis, and the
// values under the two cursors with their difference.

#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <map>

class QGridLayout;
class QLabel;

namespace qmt {
class CheckBox;
}

namespace curvix {

class ChannelPanel : public QWidget {
    Q_OBJECT
public:
    explicit ChannelPanel(QWidget* parent = nullptr);

    struct Row {
        qmt::CheckBox* visible = nullptr;
        qmt::CheckBox* right = nullptr;
        QLabel* cursor1 = nullptr;
        QLabel* cursor2 = nullptr;
        QLabel* delta = nullptr;
    };

    // Adds the row of a channel not shown yet, or renames it.
    Row& ensureRow(int32_t id, const QString& name, const QColor& color);
    Row* row(int32_t id);

    void setCursorTexts(const QString& first, const QString& second, const QString& delta);

    // Called with the channel id after the user changed a row's check box.
    std::function<void(int32_t)> onVisibleChanged, onAxisChanged;

private:
    QGridLayout* grid_;
    QLabel* cursor1_;
    QLabel* cursor2_;
    QLabel* delta_;
    std::map<int32_t, Row> rows_;
};

} // namespace curvix
