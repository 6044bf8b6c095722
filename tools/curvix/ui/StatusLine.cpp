// The status bar's texts: the source, the counts and the problems met.
#include "ui/StatusLine.h"

#include "core/Dataset.h"

#include <QLabel>
#include <QStatusBar>
#include <QStringList>

namespace curvix {

StatusLine::StatusLine(QStatusBar* bar, const Dataset& data) : data_(data) {
    QWidget* owner = bar->window();
    lbSource_ = new QLabel(owner);
    lbSource_->setObjectName(QStringLiteral("lbSource"));
    lbCounts_ = new QLabel(owner);
    lbCounts_->setObjectName(QStringLiteral("lbCounts"));
    // Wide enough for a day of samples, so the status bar does not jump as they come.
    lbCounts_->setMinimumWidth(lbCounts_->fontMetrics().horizontalAdvance(
                                   QStringLiteral("Каналов: 99, отсчётов: 99999999")) +
                               8);
    lbProblems_ = new QLabel(owner);
    lbProblems_->setObjectName(QStringLiteral("lbProblems"));
    bar->setObjectName(QStringLiteral("statusBar"));
    bar->addWidget(lbSource_);
    bar->addWidget(lbCounts_);
    bar->addWidget(lbProblems_, 1);
}

QString StatusLine::text() const {
    QStringList parts;
    if (!source_.isEmpty()) parts << source_;
    parts << lbCounts_->text();
    if (!lbProblems_->text().isEmpty()) parts << lbProblems_->text();
    return parts.join(QStringLiteral("  |  "));
}

void StatusLine::update() {
    lbSource_->setText(source_);
    lbSource_->setVisible(!source_.isEmpty());
    lbCounts_->setText(QStringLiteral("Каналов: %1, отсчётов: %2")
                           .arg(data_.channels().size())
                           .arg(data_.sampleCount()));
    const Counters& n = data_.counters();
    QStringList problems;
    if (n.invalidRecords)
        problems
            << QStringLiteral("ошибочных записей: %1 (%2)").arg(n.invalidRecords).arg(n.lastError);
    if (n.unknownIds) problems << QStringLiteral("каналов без описания: %1").arg(n.unknownIds);
    if (n.nonFinite) problems << QStringLiteral("нечисловых значений: %1").arg(n.nonFinite);
    if (n.backwardStamps)
        problems << QStringLiteral("меток времени назад: %1").arg(n.backwardStamps);
    if (n.foreignAddress)
        problems << QStringLiteral("сообщений другому окну: %1").arg(n.foreignAddress);
    if (n.skippedLines)
        problems << QStringLiteral("пропущено строк: %1 (первая: %2)")
                        .arg(n.skippedLines)
                        .arg(n.firstSkippedLine);
    QString text = problems.join(QStringLiteral(", "));
    if (!text.isEmpty()) text[0] = text[0].toUpper();
    lbProblems_->setText(text);
}

} // namespace curvix
