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

class Silent final : public StatusReporter {
public:
    void progress(const QString&) override {}
    void confirm(const QString&) override {}
};

// The installed implementation of one seam, else its default. Function-local,
// so that a seam installed while other files are initialised (the windows'
// forwarding to message boxes) is never overwritten afterwards.
template <class Seam, class Default> struct Slot {
    static Default& fallback() {
        static Default seam;
        return seam;
    }
    static Seam*& current() {
        static Seam* seam = &fallback();
        return seam;
    }
    static void set(Seam* replacement) { current() = replacement ? replacement : &fallback(); }
};
using ClockSlot = Slot<Clock, SystemClock>;
using NoticesSlot = Slot<Notices, StandardError>;
using StatusSlot = Slot<StatusReporter, Silent>;

} // namespace

Clock& clock() {
    return *ClockSlot::current();
}

void setClock(Clock* replacement) {
    ClockSlot::set(replacement);
}

void notify(const QString& text, const QString& caption, MsgIcon icon) {
    NoticesSlot::current()->notice(text, caption, icon);
}

void setNotices(Notices* replacement) {
    NoticesSlot::set(replacement);
}

StatusReporter& status() {
    return *StatusSlot::current();
}

void setStatusReporter(StatusReporter* reporter) {
    StatusSlot::set(reporter);
}

void clearStatusReporter(StatusReporter* reporter) {
    if (StatusSlot::current() == reporter) StatusSlot::set(nullptr);
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
