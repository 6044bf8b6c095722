#include "config/StatusPane.h"

#include <QLabel>
#include <QStatusBar>
#include <QTimer>

namespace qmt {

StatusPane::StatusPane(QStatusBar* bar) : QObject(bar) {
    label_ = new QLabel(bar);
    label_->setObjectName(QStringLiteral("StatusMessage"));
    label_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label_->setMinimumWidth(0);
    bar->addWidget(label_, 1);
    alert_ = new QLabel(bar);
    alert_->setObjectName(QStringLiteral("StatusAlert"));
    alert_->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));
    alert_->hide();
    bar->addPermanentWidget(alert_);
    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("tmStatus"));
    timer_->setSingleShot(true);
    timer_->setInterval(ConfirmationMs);
    connect(timer_, &QTimer::timeout, this, [this] { setText(QString()); });
    setStatusReporter(this);
}

StatusPane::~StatusPane() {
    clearStatusReporter(this);
}

void StatusPane::progress(const QString& text) {
    timer_->stop();
    setText(text);
    // The work that follows keeps the event loop from painting: paint now, as
    // the search's wait window does. Nothing else runs in between.
    if (label_->isVisible()) label_->repaint();
}

void StatusPane::confirm(const QString& text) {
    setText(text);
    timer_->start();
    if (label_->isVisible()) label_->repaint();
}

void StatusPane::alert(const QString& text) {
    alert_->setText(text);
    alert_->setVisible(!text.isEmpty());
}

void StatusPane::setText(const QString& text) {
    // Room is what the port and link panes leave; a longer note is shortened
    // and shown whole in the tool tip.
    // (A pane not shown has not been laid out: its width says nothing yet.)
    const int room = label_->isVisible() ? label_->contentsRect().width() - 4 : 0;
    const QFontMetrics metrics = label_->fontMetrics();
    const bool fits = room <= 0 || metrics.horizontalAdvance(text) <= room;
    label_->setText(fits ? text : metrics.elidedText(text, Qt::ElideRight, room));
    label_->setToolTip(fits ? QString() : text);
}

} // namespace qmt
