#pragma once
// The legend beside the plot: per channel its name in its curve's colour with a
// check box to show or hide it, a check box for the right-hand axis, and the
// values under the two cursors with their difference; below it the statistics
// of every shown channel between the cursors, the step-response figures of the
// regulators, and the level marker's editor.

#include "core/Measure.h"

#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qmt {
class CheckBox;
}

namespace curvix {

class ChannelPanel : public QWidget {
    Q_OBJECT
public:
    explicit ChannelPanel(QWidget* parent = nullptr);

    static constexpr int kStatColumns = curvix::kStatColumns;

    struct Row {
        qmt::CheckBox* visible = nullptr;
        qmt::CheckBox* right = nullptr;
        QLabel* cursor1 = nullptr;
        QLabel* cursor2 = nullptr;
        QLabel* delta = nullptr;
        QLabel* statName = nullptr;
        std::array<QLabel*, kStatColumns> stats{};
    };

    // Adds the row of a channel not shown yet, or renames it.
    Row& ensureRow(int32_t id, const QString& name, const QColor& color);
    Row* row(int32_t id);
    void setColor(int32_t id, const QColor& color);

    void setCursorTexts(const QString& first, const QString& second, const QString& delta);
    // The statistics: their head says why a table is empty.
    void setStatsHead(const QString& text);
    void setStatsShown(int32_t id, bool shown);

    // One column per regulator (its name as head), the figures in the rows of
    // kStepRowTexts; the rows against the steady level only when `steadyRows`.
    static constexpr int kStepRows = curvix::kStepRows;
    void setStepColumns(const std::vector<QString>& heads,
                        const std::vector<std::array<QString, kStepRows>>& figures,
                        bool steadyRows = false);
    void setStepHead(const QString& text);

    QLineEdit* markerEdit() const { return marker_; }
    qmt::CheckBox* markerRight() const { return markerRight_; }
    QPushButton* markerClear() const { return markerClear_; }

    // Called with the channel id after the user changed a row's check box.
    std::function<void(int32_t)> onVisibleChanged, onAxisChanged;
    // A double click on a cursor value (which: 1 or 2) takes it as the level.
    std::function<void(int32_t, int)> onValueChosen;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* head(const QString& text, const QString& name);

    QGridLayout* grid_;
    QGridLayout* statGrid_;
    QGridLayout* stepGrid_;
    QLabel* cursor1_;
    QLabel* cursor2_;
    QLabel* delta_;
    QLabel* statsHead_;
    QLabel* stepHead_;
    QLineEdit* marker_;
    qmt::CheckBox* markerRight_;
    QPushButton* markerClear_;
    std::vector<QLabel*> stepCells_;
    std::map<int32_t, Row> rows_;
};

} // namespace curvix
