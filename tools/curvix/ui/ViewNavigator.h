#pragma once
// Where the view looks: following the newest samples over a span, zoom and
// pan by keys, wheel and box drag, and the history that takes each of them
// back. A click on the plot (no drag) places a cursor through onClick.

#include <QPoint>
#include <QRect>

#include <cstdint>
#include <functional>
#include <vector>

class QComboBox;
class QCPItemRect;
class QCustomPlot;
class QMouseEvent;
class QPushButton;
class QWheelEvent;

namespace qmt {
class CheckBox;
}

namespace curvix {

class ViewNavigator {
public:
    // The toolbar's controls this room drives.
    struct Controls {
        QComboBox* span;
        QPushButton* follow;
        qmt::CheckBox* autoY;
        QPushButton* back;
    };
    // live: the data grows, so there is something to follow.
    ViewNavigator(QCustomPlot* plot, bool live, const Controls& controls,
                  std::function<void()> refresh);

    bool following() const { return following_; }
    int64_t spanMs() const { return spanMs_; }
    bool autoY() const;
    // False until a view was chosen: the next refresh takes the data's range.
    bool haveView() const { return haveView_; }
    void setHaveView(bool on) { haveView_ = on; }

    void setSpan(int64_t spanMs);
    // The span kept from an earlier run, chosen without refreshing.
    void restoreSpan(int64_t spanMs);
    void setFollowing(bool on);
    void showFullView();
    void setVisibleRange(int64_t t0, int64_t t1);

    void zoomTime(double factor);
    void panTime(double fraction);
    void panValues(double fraction);
    void zoomToBox(const QRect& box);
    bool viewBack();
    int historySize() const { return int(history_.size()); }

    void mousePress(QMouseEvent* event);
    void mouseMove(QMouseEvent* event);
    void mouseRelease(QMouseEvent* event);
    void wheel(QWheelEvent* event);

    // A click at time t (milliseconds): cursor 1 by the left button, 2 by the right.
    std::function<void(int which, int64_t t)> onClick;

private:
    struct ViewState {
        double x0, x1, y0, y1, r0, r1;
        bool following, autoY;
        int64_t spanMs;
    };
    ViewState currentView() const;
    void pushView();
    void pushView(const ViewState& view);
    void selectSpan(int64_t spanMs);
    void showFollowing(bool on);
    void userRangeChange(bool horizontal, bool vertical);

    QCustomPlot* plot_;
    bool live_;
    Controls controls_;
    std::function<void()> refresh_;

    bool following_;
    int64_t spanMs_ = 10 * 60 * 1000;
    bool haveView_ = false;
    std::vector<ViewState> history_;
    ViewState pressView_{};
    int64_t lastWheelMs_ = 0;

    // Press position, to tell a click (cursor) from a drag (pan or box zoom).
    QPoint pressPos_;
    Qt::MouseButton pressButton_ = Qt::NoButton;
    bool dragging_ = false;
    bool boxing_ = false;
    QCPItemRect* box_;
};

} // namespace curvix
