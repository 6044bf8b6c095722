#include "ui/CurvixWindow.h"

#include "core/Csv.h"
#include "core/View.h"
#include "ui/ChannelPanel.h"
#include "ui/WindowCommon.h"

#include <qcustomplot.h>

#include <QDateTime>

namespace curvix {

QString CurvixWindow::timeText(int64_t ms) const {
    if (data_.timeBase() == TimeBase::LocalTime)
        return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("hh:mm:ss,zzz"));
    return csvTime(TimeBase::Elapsed, ms) + QStringLiteral(" с");
}

void CurvixWindow::setCursorAt(int which, int64_t t) {
    const int i = which == 2 ? 1 : 0;
    cursorSet_[i] = true;
    cursorTime_[i] = t;
    updateCursorPanel();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void CurvixWindow::clearCursors() {
    cursorSet_[0] = cursorSet_[1] = false;
    updateCursorPanel();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void CurvixWindow::updateCursorPanel() {
    for (int i = 0; i < 2; ++i) {
        cursorLine_[i]->setVisible(cursorSet_[i]);
        cursorLabel_[i]->setVisible(cursorSet_[i]);
        if (!cursorSet_[i]) continue;
        const double key = cursorTime_[i] / 1000.0;
        cursorLine_[i]->point1->setCoords(key, 0);
        cursorLine_[i]->point2->setCoords(key, 1);
        // The second label a line lower, so that close cursors stay readable.
        cursorLabel_[i]->position->setCoords(key, i == 0 ? 0.0 : 0.035);
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
}

void CurvixWindow::btClearCursorsClick() {
    clearCursors();
}

} // namespace curvix
