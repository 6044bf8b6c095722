#include "config/ClickablePanel.h"

#include <QMouseEvent>

namespace qmt {

ClickablePanel::ClickablePanel(const QString& caption, QWidget* parent) : QLabel(caption, parent) {
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(1);
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(0xD4, 0xD0, 0xC8));
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);
}

void ClickablePanel::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

// A click is a press and a release of the left button inside the block.
void ClickablePanel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click) emit clicked();
}

} // namespace qmt
