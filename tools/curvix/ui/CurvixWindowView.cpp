#include "ui/CurvixWindow.h"

#include "core/View.h"
#include "link/CheckBox.h"
#include "link/Ui.h"
#include "ui/ChannelPanel.h"
#include "ui/WindowCommon.h"

#include <qcustomplot.h>

#include <QComboBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>

#include <cmath>
#include <limits>

namespace curvix {

void CurvixWindow::scheduleRefresh() {
    if (!tmRefresh_->isActive()) tmRefresh_->start();
}

CurvixWindow::Curve& CurvixWindow::curveFor(Channel& c) {
    for (Curve& curve : curves_)
        if (curve.id == c.id) return curve;
    QCPGraph* graph = plot_->addGraph(plot_->xAxis, plot_->yAxis);
    // One-pixel lines without antialiasing: the raster engine draws them many
    // times faster, and with min/max columns the curve is as exact as the pixels.
    graph->setPen(QPen(colorOf(c.colorIndex), 1));
    graph->setAntialiased(false);
    graph->setName(c.name);
    // The points are reduced to the pixel columns already.
    graph->setAdaptiveSampling(false);
    curves_.push_back({c.id, graph});
    return curves_.back();
}

void CurvixWindow::visibleRange(int64_t& t0, int64_t& t1) const {
    t0 = toMs(plot_->xAxis->range().lower);
    t1 = toMs(plot_->xAxis->range().upper);
}

void CurvixWindow::setVisibleRange(int64_t t0, int64_t t1) {
    following_ = false;
    btFollow_->setText(QStringLiteral("Следить"));
    plot_->xAxis->setRange(t0 / 1000.0, t1 / 1000.0);
    haveView_ = true;
    refresh();
}

bool CurvixWindow::autoY() const {
    return chbAutoY_->isChecked();
}

void CurvixWindow::refresh() {
    tmRefresh_->stop();
    inRefresh_ = true;
    const bool hasData = !data_.empty();
    if (hasData && (following_ || !haveView_)) {
        const int64_t last = data_.lastTime();
        int64_t first = following_ && spanMs_ > 0 ? last - spanMs_ : data_.firstTime();
        if (last - first < 1000) first = last - 1000;
        plot_->xAxis->setRange(first / 1000.0, last / 1000.0);
        haveView_ = true;
    }
    int64_t t0, t1;
    visibleRange(t0, t1);
    if (data_.timeBase() == TimeBase::LocalTime) {
        // Beyond a day of view the labels need the date; within it, seconds.
        auto ticker = plot_->xAxis->ticker().dynamicCast<QCPAxisTickerDateTime>();
        const QString format =
            t1 - t0 > 86'400'000 ? QStringLiteral("dd.MM hh:mm") : QStringLiteral("hh:mm:ss");
        if (ticker && ticker->dateTimeFormat() != format) ticker->setDateTimeFormat(format);
    }
    const int columns = std::max(plot_->axisRect()->width(), 1);
    bool anyRight = false;
    for (Channel* c : data_.channels()) {
        if (!panel_->row(c->id) || panel_->row(c->id)->visible->text() != c->name) {
            panel_->ensureRow(c->id, c->name, colorOf(c->colorIndex));
            // The legend is never cut: the plot gives way.
            auto* scroll = static_cast<QScrollArea*>(panel_->parentWidget()->parentWidget());
            scroll->setMinimumWidth(panel_->sizeHint().width() +
                                    scroll->verticalScrollBar()->sizeHint().width() + 4);
        }
        Curve& curve = curveFor(*c);
        curve.graph->setName(c->name);
        curve.graph->setVisible(c->visible);
        curve.graph->setValueAxis(c->rightAxis ? plot_->yAxis2 : plot_->yAxis);
        anyRight = anyRight || (c->rightAxis && c->visible);
        if (!c->visible) continue;
        sampleForView(c->samples, t0, t1, columns, points_);
        QVector<QCPGraphData> cells(static_cast<qsizetype>(points_.keys.size()));
        for (std::size_t i = 0; i < points_.keys.size(); ++i)
            cells[qsizetype(i)] = QCPGraphData(points_.keys[i], points_.values[i]);
        curve.graph->data()->set(cells, true);
    }
    plot_->yAxis2->setVisible(anyRight);
    if (autoY()) autoscaleY();
    updateStartMarks();
    updateCursorPanel();
    updateStatus();
    inRefresh_ = false;
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void CurvixWindow::replotNow() {
    plot_->replot(QCustomPlot::rpImmediateRefresh);
}

void CurvixWindow::autoscaleY() {
    int64_t t0, t1;
    visibleRange(t0, t1);
    float lo[2] = {std::numeric_limits<float>::infinity(), std::numeric_limits<float>::infinity()};
    float hi[2] = {-std::numeric_limits<float>::infinity(),
                   -std::numeric_limits<float>::infinity()};
    for (const Channel* c : data_.channels()) {
        if (!c->visible) continue;
        float a, b;
        if (!rangeOf(c->samples, t0, t1, a, b)) continue;
        const int axis = c->rightAxis ? 1 : 0;
        lo[axis] = std::min(lo[axis], a);
        hi[axis] = std::max(hi[axis], b);
    }
    QCPAxis* axes[2] = {plot_->yAxis, plot_->yAxis2};
    for (int i = 0; i < 2; ++i) {
        if (lo[i] > hi[i]) continue;
        double a = lo[i], b = hi[i];
        const double pad = b > a ? (b - a) * 0.05 : std::max(std::fabs(a) * 0.05, 0.5);
        axes[i]->setRange(a - pad, b + pad);
    }
}

void CurvixWindow::updateStartMarks() {
    const auto& marks = data_.startMarks();
    while (startLines_.size() < marks.size()) {
        auto* line = new QCPItemStraightLine(plot_);
        line->setPen(QPen(QColor(0, 0x80, 0), 1, Qt::DotLine));
        const double key = marks[startLines_.size()] / 1000.0;
        line->point1->setCoords(key, 0);
        line->point2->setCoords(key, 1);
        line->setClipToAxisRect(true);
        auto* label = new QCPItemText(plot_);
        label->setClipToAxisRect(true);
        label->position->setTypeX(QCPItemPosition::ptPlotCoords);
        label->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
        label->position->setCoords(key, 1.0);
        label->setPositionAlignment(Qt::AlignBottom | Qt::AlignLeft);
        label->setText(QStringLiteral("старт"));
        label->setColor(QColor(0, 0x80, 0));
        startLines_.push_back(line);
    }
}

void CurvixWindow::setSpan(int64_t spanMs) {
    spanMs_ = spanMs;
    for (int i = 0; i < cbSpan_->count(); ++i)
        if (cbSpan_->itemData(i).toLongLong() == spanMs) cbSpan_->setCurrentIndex(i);
    setFollowing(true);
}

void CurvixWindow::setFollowing(bool on) {
    following_ = on && data_.timeBase() == TimeBase::LocalTime;
    btFollow_->setText(following_ ? QStringLiteral("Пауза") : QStringLiteral("Следить"));
    refresh();
}

void CurvixWindow::showFullView() {
    chbAutoY_->QCheckBox::setChecked(true);
    if (data_.timeBase() == TimeBase::LocalTime) {
        setSpan(0);
        return;
    }
    haveView_ = false; // the next refresh takes the whole range
    refresh();
}

void CurvixWindow::userRangeChange(bool horizontal, bool vertical) {
    if (horizontal && following_) {
        following_ = false;
        btFollow_->setText(QStringLiteral("Следить"));
    }
    if (vertical && chbAutoY_->isChecked()) chbAutoY_->QCheckBox::setChecked(false);
    haveView_ = true;
}

void CurvixWindow::plotMousePress(QMouseEvent* event) {
    pressPos_ = event->pos();
    pressButton_ = event->button();
    dragging_ = false;
}

void CurvixWindow::plotMouseMove(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) return;
    const QPoint moved = event->pos() - pressPos_;
    if (!dragging_ && moved.manhattanLength() < 4) return;
    dragging_ = true;
    userRangeChange(std::abs(moved.x()) >= 2, std::abs(moved.y()) >= 4);
}

void CurvixWindow::plotMouseRelease(QMouseEvent* event) {
    const bool click = !dragging_ && (event->pos() - pressPos_).manhattanLength() < 4;
    dragging_ = false;
    if (!click || !plot_->axisRect()->rect().contains(event->pos())) return;
    const int64_t t = toMs(plot_->xAxis->pixelToCoord(event->pos().x()));
    if (pressButton_ == Qt::LeftButton)
        setCursorAt(1, t);
    else if (pressButton_ == Qt::RightButton)
        setCursorAt(2, t);
}

void CurvixWindow::plotWheel(QWheelEvent* event) {
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

void CurvixWindow::btFollowClick() {
    if (following_)
        setFollowing(false);
    else
        setFollowing(true);
}

void CurvixWindow::btFullViewClick() {
    showFullView();
}

void CurvixWindow::chbAutoYClick() {
    refresh();
}

void CurvixWindow::cbSpanChange() {
    setSpan(cbSpan_->currentData().toLongLong());
}

} // namespace curvix
