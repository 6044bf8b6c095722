// The time axis: clock labels of the stamps as sent for live data, seconds
// from the start for a file.
#include "ui/TimeAxis.h"

#include "core/Dataset.h"
#include "ui/WindowCommon.h"

#include <qcustomplot.h>

namespace curvix {
namespace {

// Clock labels of the stamps as sent: after a clock step back the curve runs
// on in drawing time, its labels show the time the program gave.
class SentTicker : public QCPAxisTickerDateTime {
public:
    explicit SentTicker(const Dataset& data) : data_(data) {}

protected:
    QString getTickLabel(double tick, const QLocale& locale, QChar formatChar,
                         int precision) override {
        const double sent = data_.sentTime(toMs(tick)) / 1000.0;
        return QCPAxisTickerDateTime::getTickLabel(sent, locale, formatChar, precision);
    }

private:
    const Dataset& data_;
};

} // namespace

void applyTimeAxis(QCustomPlot* plot, const Dataset& data, bool live) {
    if (data.timeBase() == TimeBase::LocalTime) {
        auto ticker = QSharedPointer<SentTicker>::create(data);
        ticker->setDateTimeFormat(QStringLiteral("hh:mm:ss"));
        ticker->setDateTimeSpec(Qt::LocalTime);
        plot->xAxis->setTicker(ticker);
        plot->xAxis->setLabel(QStringLiteral("Время"));
    } else {
        plot->xAxis->setTicker(QSharedPointer<QCPAxisTicker>::create());
        plot->xAxis->setLabel(live ? QStringLiteral("Время, с")
                                   : QStringLiteral("Время от начала журнала, с"));
    }
}

} // namespace curvix
