#include "link/TfMess.h"

#include "link/Forms.h"

#include <QCoreApplication>
#include <QLabel>

namespace {

// Holds back timer events while installed. A held-back tick is not lost: Qt's
// timers stay registered until their handler stops them, so the tick comes
// again one interval later, single shots included.
class TimerHold : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override { return event->type() == QEvent::Timer; }
};

} // namespace

TfMess::TfMess(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("fMess"));
    setFixedSize(330, 72);
    const QStringList lines = {QStringLiteral("Идёт подбор параметров связи!"),
                               QStringLiteral("Это может занять порядка минуты")};
    for (int i = 0; i < lines.size(); ++i) {
        auto* label = new QLabel(lines[i], this);
        label->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        label->setAlignment(Qt::AlignCenter);
        label->setGeometry(0, 12 + 26 * i, width(), 22);
    }
    if (owner) {
        const QPoint centre = owner->mapToGlobal(owner->rect().center());
        move(centre - QPoint(width() / 2, height() / 2));
    }
    fMess = this;
    show();
    // The search that follows blocks the event loop for seconds: let the window
    // be mapped and painted now. Input waits until the search is over, and so do
    // the timers: a link check or a configuration read must not run in between.
    TimerHold hold;
    QCoreApplication::instance()->installEventFilter(&hold);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    repaint();
    QCoreApplication::instance()->removeEventFilter(&hold);
}

TfMess::~TfMess() {
    if (fMess == this) fMess = nullptr;
}
