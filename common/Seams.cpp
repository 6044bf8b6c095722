#include "common/Seams.h"

#include <QStringList>
#include <QThread>

#include <cstdio>

namespace qmt {
namespace {

class SystemClock final : public Clock {
public:
    QDateTime now() override { return QDateTime::currentDateTime(); }
    void sleepMs(int ms) override {
        if (ms > 0) QThread::msleep(static_cast<unsigned long>(ms));
    }
};

class StandardError final : public Notices {
public:
    void notice(const QString& text, const QString&, MsgIcon) override {
        const QByteArray line = OneLine(text).toLocal8Bit();
        std::fprintf(stderr, "%s\n", line.constData());
        std::fflush(stderr);
    }
};

SystemClock& systemClock() {
    static SystemClock clock;
    return clock;
}

// Function-local, so that a seam installed while other files are initialised
// (the windows' forwarding to message boxes) is never overwritten afterwards.
Clock*& currentClock() {
    static Clock* current = &systemClock();
    return current;
}

Notices& standardError() {
    static StandardError notices;
    return notices;
}

Notices*& currentNotices() {
    static Notices* current = &standardError();
    return current;
}

} // namespace

Clock& clock() {
    return *currentClock();
}

void setClock(Clock* replacement) {
    currentClock() = replacement ? replacement : &systemClock();
}

void notify(const QString& text, const QString& caption, MsgIcon icon) {
    currentNotices()->notice(text, caption, icon);
}

void setNotices(Notices* replacement) {
    currentNotices() = replacement ? replacement : &standardError();
}

QString OneLine(const QString& text) {
    // Each line keeps its own blanks; only those around the breaks go.
    QStringList parts;
    for (const QString& part : text.split(QLatin1Char('\n'))) {
        const QString trimmed = part.trimmed();
        if (!trimmed.isEmpty()) parts << trimmed;
    }
    return parts.join(QLatin1Char(' '));
}

} // namespace qmt
