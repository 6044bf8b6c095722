// Where the view looks, and the way back: the span followed, every zoom and
// pan by key, wheel or drag, the box zoom, and the history of earlier views.
#include "ui/ViewNavigator.h"

#include "common/CheckBox.h"
#include "common/Ui.h"
#include "ui/WindowCommon.h"

#include <qcustomplot.h>

#include <QComboBox>
#include <QDateTime>
#include <QPushButton>

#include <cmath>

namespace curvix {
namespace {

// Steps back further than this are rarely wanted; the oldest go first.
constexpr std::size_t kHistoryDepth = 50;

bool boxGesture(Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
    return button == Qt::RightButton ||
           (button == Qt::LeftButton && (modifiers & Qt::ControlModifier));
}

} // namespace

ViewNavigator::ViewNavigator(QCustomPlot* plot, bool live, const Controls& controls,
                             std::function<void()> refresh)
    : plot_(plot), live_(live), controls_(controls), refresh_(std::move(refresh)),
      following_(live) {
    box_ = new QCPItemRect(plot_);
    box_->topLeft->setType(QCPItemPosition::ptAbsolute);
    box_->bottomRight->setType(QCPItemPosition::ptAbsolute);
    box_->setPen(QPen(QColor(0x30, 0x60, 0xc0), 1, Qt::DashLine));
    box_->setBrush(QBrush(QColor(0x30, 0x60, 0xc0, 40)));
    box_->setVisible(false);
}

bool ViewNavigator::autoY() const {
    return controls_.autoY->isChecked();
}

void ViewNavigator::selectSpan(int64_t spanMs) {
    QComboBox* box = controls_.span;
    for (int i = 0; i < box->count(); ++i)
        if (box->itemData(i).toLongLong() == spanMs) box->setCurrentIndex(i);
}

void ViewNavigator::showFollowing(bool on) {
    following_ = on;
    controls_.follow->setText(on ? QStringLiteral("Пауза") : QStringLiteral("Следить"));
}

void ViewNavigator::setSpan(int64_t spanMs) {
    spanMs_ = spanMs;
    selectSpan(spanMs);
    setFollowing(true);
}

void ViewNavigator::restoreSpan(int64_t spanMs) {
    QComboBox* box = controls_.span;
    for (int i = 0; i < box->count(); ++i)
        if (box->itemData(i).toLongLong() == spanMs) {
            box->setCurrentIndex(i);
            spanMs_ = spanMs;
        }
}

void ViewNavigator::setFollowing(bool on) {
    showFollowing(on && live_);
    refresh_();
}

void ViewNavigator::showFullView() {
    pushView();
    controls_.autoY->QCheckBox::setChecked(true);
    if (live_) {
        setSpan(0);
        return;
    }
    haveView_ = false; // the next refresh takes the whole range
    refresh_();
}

void ViewNavigator::setVisibleRange(int64_t t0, int64_t t1) {
    showFollowing(false);
    plot_->xAxis->setRange(t0 / 1000.0, t1 / 1000.0);
    haveView_ = true;
    refresh_();
}

ViewNavigator::ViewState ViewNavigator::currentView() const {
    return {plot_->xAxis->range().lower,
            plot_->xAxis->range().upper,
            plot_->yAxis->range().lower,
            plot_->yAxis->range().upper,
            plot_->yAxis2->range().lower,
            plot_->yAxis2->range().upper,
            following_,
            autoY(),
            spanMs_};
}

void ViewNavigator::pushView() {
    pushView(currentView());
}

void ViewNavigator::pushView(const ViewState& v) {
    if (!history_.empty()) {
        const ViewState& last = history_.back();
        if (last.x0 == v.x0 && last.x1 == v.x1 && last.y0 == v.y0 && last.y1 == v.y1 &&
            last.r0 == v.r0 && last.r1 == v.r1 && last.following == v.following)
            return;
    }
    history_.push_back(v);
    if (history_.size() > kHistoryDepth) history_.erase(history_.begin());
    controls_.back->setEnabled(true);
}

bool ViewNavigator::viewBack() {
    if (history_.empty()) return false;
    const ViewState v = history_.back();
    history_.pop_back();
    controls_.back->setEnabled(!history_.empty());
    spanMs_ = v.spanMs;
    selectSpan(v.spanMs);
    showFollowing(v.following && live_);
    controls_.autoY->QCheckBox::setChecked(v.autoY);
    // The refresh below draws these ranges at once (the one they schedule is dropped).
    plot_->xAxis->setRange(v.x0, v.x1);
    plot_->yAxis->setRange(v.y0, v.y1);
    plot_->yAxis2->setRange(v.r0, v.r1);
    haveView_ = true;
    refresh_();
    return true;
}

void ViewNavigator::userRangeChange(bool horizontal, bool vertical) {
    if (horizontal && following_) showFollowing(false);
    if (vertical && autoY()) controls_.autoY->QCheckBox::setChecked(false);
    haveView_ = true;
}

void ViewNavigator::zoomTime(double factor) {
    pushView();
    userRangeChange(true, false);
    plot_->xAxis->scaleRange(factor, plot_->xAxis->range().center());
    refresh_();
}

void ViewNavigator::panTime(double fraction) {
    pushView();
    userRangeChange(true, false);
    plot_->xAxis->moveRange(plot_->xAxis->range().size() * fraction);
    refresh_();
}

void ViewNavigator::panValues(double fraction) {
    pushView();
    userRangeChange(false, true);
    for (QCPAxis* axis : {plot_->yAxis, plot_->yAxis2})
        axis->moveRange(axis->range().size() * fraction);
    refresh_();
}

void ViewNavigator::zoomToBox(const QRect& box) {
    const QRect r = box.normalized().intersected(plot_->axisRect()->rect());
    if (r.width() < 4) return;
    pushView();
    // A flat box zooms the time alone: its height says nothing about values.
    const bool values = r.height() >= 8;
    userRangeChange(true, values);
    plot_->xAxis->setRange(plot_->xAxis->pixelToCoord(r.left()),
                           plot_->xAxis->pixelToCoord(r.right()));
    if (values)
        for (QCPAxis* axis : {plot_->yAxis, plot_->yAxis2})
            axis->setRange(axis->pixelToCoord(r.bottom()), axis->pixelToCoord(r.top()));
    refresh_();
}

void ViewNavigator::mousePress(QMouseEvent* event) {
    pressPos_ = event->pos();
    pressButton_ = event->button();
    dragging_ = false;
    boxing_ = boxGesture(event->button(), event->modifiers());
    pressView_ = currentView();
    // The box takes the drag that would otherwise pan; the plot sees the
    // press after this handler.
    plot_->setInteraction(QCP::iRangeDrag, !boxing_);
}

void ViewNavigator::mouseMove(QMouseEvent* event) {
    if (!(event->buttons() & (Qt::LeftButton | Qt::RightButton))) return;
    const QPoint moved = event->pos() - pressPos_;
    if (!dragging_ && moved.manhattanLength() < 4) return;
    if (boxing_) {
        dragging_ = true;
        const QRect r = QRect(pressPos_, event->pos()).normalized();
        box_->topLeft->setCoords(r.topLeft());
        box_->bottomRight->setCoords(r.bottomRight());
        box_->setVisible(true);
        plot_->replot(QCustomPlot::rpQueuedReplot);
        return;
    }
    if (!(event->buttons() & Qt::LeftButton)) return;
    // The view before the pan is the one to go back to.
    if (!dragging_) pushView(pressView_);
    dragging_ = true;
    userRangeChange(std::abs(moved.x()) >= 2, std::abs(moved.y()) >= 4);
}

void ViewNavigator::mouseRelease(QMouseEvent* event) {
    const bool click = !dragging_ && (event->pos() - pressPos_).manhattanLength() < 4;
    const bool box = boxing_ && dragging_;
    dragging_ = false;
    boxing_ = false;
    plot_->setInteraction(QCP::iRangeDrag, true);
    if (box) {
        box_->setVisible(false);
        zoomToBox(QRect(pressPos_, event->pos()));
        return;
    }
    if (!click || !plot_->axisRect()->rect().contains(event->pos())) return;
    // A click on the legend is for the legend (a double click picks a colour).
    if (plot_->legend->visible() && plot_->legend->outerRect().contains(event->pos())) return;
    const int64_t t = toMs(plot_->xAxis->pixelToCoord(event->pos().x()));
    if (!onClick) return;
    if (pressButton_ == Qt::LeftButton)
        onClick(1, t);
    else if (pressButton_ == Qt::RightButton)
        onClick(2, t);
}

void ViewNavigator::wheel(QWheelEvent* event) {
    // One turn of the wheel is one step back, however many notches it had.
    const int64_t now = qmt::clock().now().toMSecsSinceEpoch();
    if (now - lastWheelMs_ > 700 || now < lastWheelMs_) pushView();
    lastWheelMs_ = now;
    // Over an axis the wheel zooms that axis alone; over the curves both.
    QCPAxisRect* rect = plot_->axisRect();
    const QPointF pos = event->position();
    const QRect area = rect->rect();
    if (pos.x() < area.left()) {
        rect->setRangeZoom(Qt::Vertical);
        rect->setRangeZoomAxes({plot_->xAxis}, {plot_->yAxis});
        userRangeChange(false, true);
    } else if (pos.x() > area.right()) {
        rect->setRangeZoom(Qt::Vertical);
        rect->setRangeZoomAxes({plot_->xAxis}, {plot_->yAxis2});
        userRangeChange(false, true);
    } else if (pos.y() > area.bottom()) {
        rect->setRangeZoom(Qt::Horizontal);
        userRangeChange(true, false);
    } else {
        rect->setRangeZoom(Qt::Horizontal | Qt::Vertical);
        rect->setRangeZoomAxes({plot_->xAxis}, {plot_->yAxis, plot_->yAxis2});
        userRangeChange(true, true);
    }
}

} // namespace curvix
