#pragma once
// The two time cursors with their labels, the horizontal level marker, and
// what the legend shows of them: the values under the cursors, the statistics
// and step-response figures between them.

#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

class QCPItemStraightLine;
class QCPItemText;
class QCustomPlot;

namespace curvix {

class ChannelPanel;
class Dataset;

class CursorTools {
public:
    // fitPanel widens the legend when its texts grew.
    CursorTools(QCustomPlot* plot, ChannelPanel* panel, const Dataset& data,
                std::function<void()> fitPanel);

    // Cursor 1 or 2 at time t (milliseconds); clear removes both.
    void setCursorAt(int which, int64_t t);
    void clearCursors();

    // The marker at a value of the left (or right) axis.
    void setMarker(double value, bool rightAxis = false);
    void clearMarker();
    bool markerShown() const { return markerOn_; }

    // After each layout: the labels placed in pixels, inside the plot.
    void placeLabels();
    // The cursor lines, their values in the legend and the measurements.
    void updatePanel();

    // Ids of the channels shown, in id order.
    std::vector<int32_t> shownIds() const;
    // The measurements between the cursors as the CSV export's comment lines.
    QStringList measurementLines() const;

    // The legend's marker controls and a chosen cursor value.
    void edMarkerYEnter();
    void btClearMarkerClick();
    void markerAxisClick();
    void valueChosen(int32_t id, int which);

private:
    bool cursorRange(int64_t& t0, int64_t& t1) const;
    void updateCursorLabels();
    void updateMarker();
    void updateMeasurements();
    QString timeText(int64_t ms) const;

    QCustomPlot* plot_;
    ChannelPanel* panel_;
    const Dataset& data_;
    std::function<void()> fitPanel_;

    QCPItemStraightLine* cursorLine_[2] = {nullptr, nullptr};
    QCPItemText* cursorLabel_[2] = {nullptr, nullptr};
    bool cursorSet_[2] = {false, false};
    int64_t cursorTime_[2] = {0, 0};
    QCPItemStraightLine* markerLine_ = nullptr;
    QCPItemText* markerLabel_ = nullptr;
    bool markerOn_ = false;
    bool markerRight_ = false;
    double markerValue_ = 0;
};

} // namespace curvix
