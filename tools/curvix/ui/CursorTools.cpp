// The cursors and the level marker: their lines and labels on the plot, the
// values under the cursors in the legend, and the marker's editor.
#include "ui/CursorTools.h"

#include "common/CheckBox.h"
#include "common/Ui.h"
#include "core/Dataset.h"
#include "core/Measure.h"
#include "core/View.h"
#include "ui/ChannelPanel.h"
#include "ui/WindowCommon.h"

#include <qcustomplot.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cmath>

namespace curvix {

CursorTools::CursorTools(QCustomPlot* plot, ChannelPanel* panel, const Dataset& data,
                         std::function<void()> fitPanel)
    : plot_(plot), panel_(panel), data_(data), fitPanel_(std::move(fitPanel)) {
    for (int i = 0; i < 2; ++i) {
        auto* line = new QCPItemStraightLine(plot_);
        line->setPen(QPen(i == 0 ? QColor(0, 0, 0) : QColor(0x80, 0, 0x80), 1, Qt::DashLine));
        line->setVisible(false);
        auto* label = new QCPItemText(plot_);
        // Placed in pixels after each layout, so that it stays inside the plot;
        // a half-transparent ground keeps the curve under it in sight.
        label->setPositionAlignment(Qt::AlignTop | Qt::AlignLeft);
        label->position->setType(QCPItemPosition::ptAbsolute);
        label->setClipToAxisRect(true);
        label->setBrush(QBrush(QColor(255, 255, 255, 190)));
        label->setPen(QPen(line->pen().color(), 1));
        label->setColor(line->pen().color());
        label->setPadding(QMargins(3, 1, 3, 1));
        label->setVisible(false);
        cursorLine_[i] = line;
        cursorLabel_[i] = label;
    }

    markerLine_ = new QCPItemStraightLine(plot_);
    markerLine_->setPen(QPen(QColor(0xc0, 0x60, 0), 1, Qt::DashDotLine));
    markerLine_->setClipToAxisRect(true);
    markerLine_->setVisible(false);
    markerLabel_ = new QCPItemText(plot_);
    markerLabel_->position->setType(QCPItemPosition::ptAbsolute);
    markerLabel_->setPositionAlignment(Qt::AlignBottom | Qt::AlignRight);
    markerLabel_->setClipToAxisRect(true);
    markerLabel_->setColor(QColor(0xa0, 0x50, 0));
    markerLabel_->setBrush(QBrush(QColor(255, 255, 255, 190)));
    markerLabel_->setPadding(QMargins(3, 0, 3, 0));
    markerLabel_->setVisible(false);

    panel_->onValueChosen = [this](int32_t id, int which) {
        qmt::guarded([&] { valueChosen(id, which); });
    };
    QObject::connect(panel_->markerEdit(), &QLineEdit::returnPressed, panel_,
                     [this] { qmt::guarded([this] { edMarkerYEnter(); }); });
    qmt::onClicked(panel_->markerClear(), [this] { btClearMarkerClick(); });
    panel_->markerRight()->setOnClick([this] { markerAxisClick(); });
}

void CursorTools::placeLabels() {
    updateCursorLabels();
    updateMarker();
}

QString CursorTools::timeText(int64_t time) const {
    return instantText(data_, time);
}

void CursorTools::setCursorAt(int which, int64_t t) {
    const int i = which == 2 ? 1 : 0;
    cursorSet_[i] = true;
    cursorTime_[i] = t;
    updatePanel();
    fitPanel_();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void CursorTools::clearCursors() {
    cursorSet_[0] = cursorSet_[1] = false;
    updatePanel();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void CursorTools::updateCursorLabels() {
    const QRect area = plot_->axisRect()->rect();
    const QRect legend = plot_->legend->visible() ? plot_->legend->outerRect() : QRect();
    QRect placed[2];
    for (int i = 0; i < 2; ++i) {
        QCPItemText* label = cursorLabel_[i];
        if (!cursorSet_[i]) continue;
        const double x = plot_->xAxis->coordToPixel(cursorTime_[i] / 1000.0);
        const bool inside = x > area.left() - 1.5 && x < area.right() + 1.5;
        label->setVisible(inside);
        if (!inside) continue;
        const QFontMetrics metrics(label->font());
        const QMargins pad = label->padding();
        const int w = metrics.horizontalAdvance(label->text()) + pad.left() + pad.right() + 2;
        const int h = metrics.height() + pad.top() + pad.bottom() + 2;
        // Centred on its line where there is room, pushed in at the edges.
        const int left = std::clamp(int(x) - w / 2, area.left() + 1,
                                    std::max(area.left() + 1, area.right() - w - 1));
        QRect r(left, area.top() + 2, w, h);
        // Below the legend and below the other label where they would meet.
        for (int pass = 0; pass < 2; ++pass) {
            if (legend.intersects(r)) r.moveTop(legend.bottom() + 3);
            if (i == 1 && !placed[0].isNull() && placed[0].intersects(r))
                r.moveTop(placed[0].bottom() + 2);
        }
        placed[i] = r;
        label->position->setCoords(r.left(), r.top());
    }
}

void CursorTools::updatePanel() {
    for (int i = 0; i < 2; ++i) {
        cursorLine_[i]->setVisible(cursorSet_[i]);
        cursorLabel_[i]->setVisible(cursorSet_[i]);
        if (!cursorSet_[i]) continue;
        const double key = cursorTime_[i] / 1000.0;
        cursorLine_[i]->point1->setCoords(key, 0);
        cursorLine_[i]->point2->setCoords(key, 1);
        cursorLabel_[i]->setText(timeText(cursorTime_[i]));
    }
    const QString none = QStringLiteral("—");
    QString delta = QStringLiteral("Δt: —");
    if (cursorSet_[0] && cursorSet_[1]) {
        QString seconds = QString::number((cursorTime_[1] - cursorTime_[0]) / 1000.0, 'f', 3);
        seconds.replace(QLatin1Char('.'), QLatin1Char(','));
        delta = QStringLiteral("Δt: ") + seconds + QStringLiteral(" с");
    }
    panel_->setCursorTexts(
        QStringLiteral("Курсор 1: ") + (cursorSet_[0] ? timeText(cursorTime_[0]) : none),
        QStringLiteral("Курсор 2: ") + (cursorSet_[1] ? timeText(cursorTime_[1]) : none), delta);
    for (const Channel* c : data_.channels()) {
        ChannelPanel::Row* row = panel_->row(c->id);
        if (!row) continue;
        float v[2];
        bool has[2];
        for (int i = 0; i < 2; ++i) {
            has[i] = cursorSet_[i] && c->visible && valueAt(c->samples, cursorTime_[i], v[i]);
            (i == 0 ? row->cursor1 : row->cursor2)->setText(has[i] ? number(v[i]) : none);
        }
        row->delta->setText(has[0] && has[1] ? number(double(v[1]) - double(v[0])) : none);
    }
    updateMeasurements();
}

void CursorTools::setMarker(double value, bool rightAxis) {
    markerOn_ = std::isfinite(value);
    markerValue_ = value;
    markerRight_ = rightAxis;
    panel_->markerRight()->QCheckBox::setChecked(rightAxis);
    updateMarker();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void CursorTools::clearMarker() {
    markerOn_ = false;
    updateMarker();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void CursorTools::updateMarker() {
    QCPAxis* axis = markerRight_ ? plot_->yAxis2 : plot_->yAxis;
    const bool shown = markerOn_ && axis->visible();
    markerLine_->setVisible(shown);
    markerLabel_->setVisible(false);
    if (!shown) return;
    markerLine_->point1->setAxes(plot_->xAxis, axis);
    markerLine_->point2->setAxes(plot_->xAxis, axis);
    const QCPRange x = plot_->xAxis->range();
    markerLine_->point1->setCoords(x.lower, markerValue_);
    markerLine_->point2->setCoords(x.upper, markerValue_);
    const QRect area = plot_->axisRect()->rect();
    const double y = axis->coordToPixel(markerValue_);
    if (y < area.top() || y > area.bottom()) return;
    markerLabel_->setText(QStringLiteral("Y = ") + number(markerValue_) +
                          (markerRight_ ? QStringLiteral(" (пр.)") : QString()));
    // Above the line, or below it when the line runs along the top.
    const QFontMetrics metrics(markerLabel_->font());
    const bool below = y - metrics.height() - 2 < area.top();
    markerLabel_->setPositionAlignment(Qt::AlignRight | (below ? Qt::AlignTop : Qt::AlignBottom));
    markerLabel_->position->setCoords(area.right() - 2, below ? y + 2 : y - 1);
    markerLabel_->setVisible(true);
}

void CursorTools::valueChosen(int32_t id, int which) {
    const Channel* c = data_.find(id);
    const int i = which == 2 ? 1 : 0;
    float v;
    if (!c || !c->visible || !cursorSet_[i] || !valueAt(c->samples, cursorTime_[i], v)) return;
    panel_->markerEdit()->setText(number(v));
    setMarker(v, c->rightAxis);
}

void CursorTools::edMarkerYEnter() {
    const QString text = panel_->markerEdit()->text().trimmed();
    if (text.isEmpty()) {
        clearMarker();
        return;
    }
    bool ok = false;
    const double v = QString(text).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    if (!ok || !std::isfinite(v)) {
        qmt::showMessage(QStringLiteral("Уровень Y: «%1» не число").arg(text),
                         QStringLiteral("CURVIX"), qmt::MsgIcon::Warning, panel_->window());
        return;
    }
    setMarker(v, panel_->markerRight()->isChecked());
}

void CursorTools::btClearMarkerClick() {
    panel_->markerEdit()->clear();
    clearMarker();
}

void CursorTools::markerAxisClick() {
    if (markerOn_) setMarker(markerValue_, panel_->markerRight()->isChecked());
}

} // namespace curvix
