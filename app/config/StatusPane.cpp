#include "config/StatusPane.h"

#include <QLabel>
#include <QLayout>
#include <QStatusBar>
#include <QTimer>

namespace qmt {

StatusPane::StatusPane(QStatusBar* bar, std::initializer_list<QWidget*> kept,
                       std::initializer_list<QWidget*> yielding, int slack)
    : QObject(bar), bar_(bar), kept_(kept), yielding_(yielding), slack_(slack) {
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

void StatusPane::warn(const QString& text) {
    timer_->stop(); // it stays until the next note
    setText(text);
}

int StatusPane::room(bool covering) const {
    int taken = slack_;
    if (alert_->isVisible()) taken += alert_->width() + slack_;
    for (QWidget* pane : kept_)
        taken += pane->width() + slack_;
    if (!covering) {
        for (QWidget* pane : yielding_)
            taken += pane->width() + slack_;
    }
    const int margins = label_->width() - label_->contentsRect().width();
    return bar_->contentsRect().width() - taken - margins - 4;
}

void StatusPane::alert(const QString& text) {
    alert_->setText(text);
    alert_->setVisible(!text.isEmpty());
}

void StatusPane::setText(const QString& text) {
    // A note that does not fit beside the port and link panes covers them
    // while it is shown; one longer still is shortened and shown whole in
    // the tool tip. (A pane not shown has not been laid out: nothing to fit.)
    const QFontMetrics metrics = label_->fontMetrics();
    const int needed = metrics.horizontalAdvance(text);
    const bool shown = bar_->isVisible();
    const bool covering = shown && !text.isEmpty() && needed > room(false);
    for (QWidget* pane : yielding_)
        pane->setVisible(!covering);
    // Laid out now: the work that follows a progress note blocks the event loop.
    if (bar_->layout()) bar_->layout()->activate();
    const int width = shown ? room(covering) : 0;
    const bool fits = width <= 0 || needed <= width;
    label_->setText(fits ? text : metrics.elidedText(text, Qt::ElideRight, width));
    label_->setToolTip(fits ? QString() : text);
}

} // namespace qmt
