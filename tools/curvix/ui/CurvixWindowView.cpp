// The curves: the plot and its axes, the points of each shown channel for
// the pixel columns of the visible range, the value scaling and the marks
// where the program started sending.
#include "ui/CurvixWindow.h"

#include "ui/CursorTools.h"
#include "ui/TimeAxis.h"
#include "ui/ViewNavigator.h"
#include "ui/ViewerSettings.h"

#include "common/CheckBox.h"
#include "common/Ui.h"
#include "core/View.h"
#include "ui/ChannelPanel.h"
#include "ui/WindowCommon.h"

#include <qcustomplot.h>

#include <QComboBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>

#include <algorithm>
#include <cmath>
#include <limits>

namespace curvix {

void CurvixWindow::buildPlot(QSplitter* splitter) {
    plot_ = new QCustomPlot(splitter);
    plot_->setObjectName(QStringLiteral("plot"));
    plot_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    plot_->setNoAntialiasingOnDrag(true);
    plot_->setPlottingHint(QCP::phFastPolylines, true);
    // Straight axis and grid lines need no antialiasing; it only costs time.
    plot_->setNotAntialiasedElements(QCP::aeAxes | QCP::aeGrid | QCP::aeSubGrid | QCP::aeZeroLine |
                                     QCP::aePlottables | QCP::aeItems);
    QCPAxisRect* rect = plot_->axisRect();
    rect->setRangeDrag(Qt::Horizontal | Qt::Vertical);
    rect->setRangeDragAxes({plot_->xAxis}, {plot_->yAxis, plot_->yAxis2});
    rect->setRangeZoomAxes({plot_->xAxis}, {plot_->yAxis, plot_->yAxis2});
    applyTimeAxis();
    plot_->yAxis2->setVisible(false);
    plot_->yAxis2->setTickLabels(true);
    plot_->xAxis->setRange(0, 1);
    connect(plot_, &QCustomPlot::mousePress, this,
            [this](QMouseEvent* e) { qmt::guarded([&] { nav_->mousePress(e); }); });
    connect(plot_, &QCustomPlot::mouseMove, this,
            [this](QMouseEvent* e) { qmt::guarded([&] { nav_->mouseMove(e); }); });
    connect(plot_, &QCustomPlot::mouseRelease, this,
            [this](QMouseEvent* e) { qmt::guarded([&] { nav_->mouseRelease(e); }); });
    connect(plot_, &QCustomPlot::mouseWheel, this,
            [this](QWheelEvent* e) { qmt::guarded([&] { nav_->wheel(e); }); });
    connect(plot_->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this, [this] {
        if (!inRefresh_) scheduleRefresh();
    });
    // The legend in the plot, so that a saved picture explains itself.
    plot_->legend->setVisible(false);
    plot_->legend->setBrush(QBrush(QColor(255, 255, 255, 200)));
    plot_->legend->setBorderPen(QPen(QColor(0xa0, 0xa0, 0xa0)));
    plot_->legend->setIconSize(18, 8);
    plot_->legend->setRowSpacing(-2);
    plot_->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignLeft);

    // Labels are placed once the layout has its final size.
    connect(plot_, &QCustomPlot::afterLayout, this, [this] {
        laidOut_ = plot_->size();
        cursors_->placeLabels();
    });
    plot_->installEventFilter(this);
    // A double click on a legend entry chooses the curve's colour.
    connect(plot_, &QCustomPlot::legendDoubleClick, this,
            [this](QCPLegend*, QCPAbstractLegendItem* item, QMouseEvent*) {
                auto* entry = qobject_cast<QCPPlottableLegendItem*>(item);
                if (!entry) return;
                for (const Curve& curve : curves_)
                    if (curve.graph == entry->plottable())
                        qmt::guarded([&] { settings_->chooseColor(curve.id); });
            });
}

void CurvixWindow::applyTimeAxis() {
    curvix::applyTimeAxis(plot_, data_, live_);
}

void CurvixWindow::fitPanel() {
    // The legend is never cut: the plot gives way.
    auto* scroll = static_cast<QScrollArea*>(panel_->parentWidget()->parentWidget());
    const int width =
        panel_->sizeHint().width() + scroll->verticalScrollBar()->sizeHint().width() + 4;
    if (width > scroll->minimumWidth()) scroll->setMinimumWidth(width);
}

void CurvixWindow::scheduleRefresh() {
    if (!tmRefresh_->isActive()) tmRefresh_->start();
}

CurvixWindow::Curve& CurvixWindow::curveFor(Channel& c) {
    for (Curve& curve : curves_)
        if (curve.id == c.id) return curve;
    QCPGraph* graph = plot_->addGraph(plot_->xAxis, plot_->yAxis);
    // One-pixel lines without antialiasing: the raster engine draws them many
    // times faster, and with min/max columns the curve is as exact as the pixels.
    graph->setPen(QPen(settings_->channelColor(c), 1));
    graph->setAntialiased(false);
    graph->setName(c.name);
    graph->removeFromLegend(); // refresh adds it while the channel is shown
    // The points are reduced to the pixel columns already.
    graph->setAdaptiveSampling(false);
    curves_.push_back({c.id, graph});
    return curves_.back();
}

void CurvixWindow::visibleRange(int64_t& t0, int64_t& t1) const {
    t0 = toMs(plot_->xAxis->range().lower);
    t1 = toMs(plot_->xAxis->range().upper);
}

bool CurvixWindow::eventFilter(QObject* watched, QEvent* event) {
    // Every resize draws the curves again on the new number of columns.
    if (watched == plot_ && event->type() == QEvent::Resize) scheduleRefresh();
    return QMainWindow::eventFilter(watched, event);
}

void CurvixWindow::refresh() {
    tmRefresh_->stop();
    inRefresh_ = true;
    // The columns are the axis rectangle's current width, also before the
    // first replot and right after a resize (a replot lays it out otherwise).
    if (plot_->size() != laidOut_) {
        for (auto phase : {QCPLayoutElement::upPreparation, QCPLayoutElement::upMargins,
                           QCPLayoutElement::upLayout})
            plot_->plotLayout()->update(phase);
        laidOut_ = plot_->size();
    }
    const bool hasData = !data_.empty();
    const bool following = nav_->following();
    const int64_t spanMs = nav_->spanMs();
    if (hasData && (following || !nav_->haveView())) {
        const int64_t last = data_.lastTime();
        // A run shorter than the window fills the plot and grows with it.
        int64_t first = following && spanMs > 0 ? std::max(last - spanMs, data_.firstTime())
                                                : data_.firstTime();
        if (last - first < 1000) first = last - 1000;
        plot_->xAxis->setRange(first / 1000.0, last / 1000.0);
        nav_->setHaveView(true);
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
            settings_->restoreChannel(*c);
            panel_->ensureRow(c->id, c->name, settings_->channelColor(*c));
            panel_->row(c->id)->visible->QCheckBox::setChecked(c->visible);
            panel_->row(c->id)->right->QCheckBox::setChecked(c->rightAxis);
        }
        Curve& curve = curveFor(*c);
        curve.graph->setName(c->rightAxis ? c->name + QStringLiteral(" (пр.)") : c->name);
        curve.graph->setPen(QPen(settings_->channelColor(*c), 1));
        curve.graph->setVisible(c->visible);
        if (c->visible)
            curve.graph->addToLegend();
        else
            curve.graph->removeFromLegend();
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
    plot_->legend->setVisible(plot_->legend->itemCount() > 0);
    if (nav_->autoY()) autoscaleY();
    updateStartMarks();
    cursors_->updatePanel();
    fitPanel();
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
        startLabels_.push_back(label);
    }
    // A run starts a moment before its first sample, so its mark lies just
    // left of a view that begins there: the label is kept whole inside the
    // plot (at its edge), not cut down to its last letters.
    const QRect area = plot_->axisRect()->rect();
    for (std::size_t i = 0; i < startLabels_.size() && i < marks.size(); ++i) {
        QCPItemText* label = startLabels_[i];
        const double at = plot_->xAxis->coordToPixel(marks[i] / 1000.0);
        const QMargins pad = label->padding();
        const int width =
            QFontMetrics(label->font()).horizontalAdvance(label->text()) + pad.left() + pad.right();
        const bool near = at > area.left() - width && at <= area.right();
        label->setVisible(near);
        if (!near) continue;
        const double x = std::clamp(at, double(area.left()), double(area.right() - width));
        label->position->setCoords(plot_->xAxis->pixelToCoord(x), 1.0);
    }
}

} // namespace curvix
