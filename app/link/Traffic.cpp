#include "link/Traffic.h"

#include "link/Errors.h"
#include "link/Library.h"

#include <QDateTime>

#include <ctime>

namespace qmt {
namespace {

constexpr int32_t NoAnswer = 14;

uint16_t word(const QByteArray& b, int at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) << 8 |
                                 static_cast<uint8_t>(b[at + 1]));
}

uint8_t byte(const QByteArray& b, int at) {
    return static_cast<uint8_t>(b[at]);
}

// Address and count (or value) as functions 1 to 6, 15 and 16 carry them
// after station and function: every request, and the echo of a write.
QString addressAndCount(const QByteArray& b, uint8_t function) {
    if (b.size() < 6) return QString();
    const bool value = function == 5 || function == 6;
    return QStringLiteral(", адрес %1, %2 %3")
        .arg(word(b, 2))
        .arg(value ? QStringLiteral("значение") : QStringLiteral("количество"))
        .arg(word(b, 4));
}

QString replyDetail(const QByteArray& b, uint8_t function) {
    if (function & 0x80) {
        if (b.size() < 3) return QString();
        return QStringLiteral(", исключение %1").arg(byte(b, 2));
    }
    if (function >= 1 && function <= 4) {
        if (b.size() < 3) return QString();
        const int n = byte(b, 2);
        return function >= 3 ? QStringLiteral(", количество %1").arg(n / 2)
                             : QStringLiteral(", байт %1").arg(n);
    }
    return addressAndCount(b, function);
}

} // namespace

QString FrameHex(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString FrameSummary(const TrafficFrame& f) {
    const QByteArray& b = f.bytes;
    if (b.isEmpty()) return ECommError::messageFor(f.status == 0 ? NoAnswer : f.status);
    QString text = QStringLiteral("станция %1").arg(byte(b, 0));
    if (b.size() < 2) return text;
    const uint8_t function = byte(b, 1);
    text += QStringLiteral(", функция %1").arg(function & 0x7F);
    text += f.request ? addressAndCount(b, function) : replyDetail(b, function);
    // The reply carries the verdict on the exchange.
    if (!f.request && f.status != 0)
        text += QStringLiteral(": ") + ECommError::messageFor(f.status);
    return text;
}

QString FrameDirection(const TrafficFrame& frame) {
    return frame.request ? QStringLiteral("TX") : QStringLiteral("RX");
}

QString FrameTime(const TrafficFrame& frame) {
    // The monotonic time put on the wall clock through their present distance.
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const int64_t nowNs = static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
    const int64_t agoUs = (nowNs - static_cast<int64_t>(frame.timeNs)) / 1000;
    const int64_t wallUs = QDateTime::currentMSecsSinceEpoch() * 1000 - agoUs;
    const QDateTime wall = QDateTime::fromMSecsSinceEpoch(wallUs / 1000);
    return wall.toString(QStringLiteral("HH:mm:ss.zzz")) +
           QStringLiteral("%1").arg(static_cast<int>(wallUs % 1000), 3, 10, QLatin1Char('0'));
}

QString FrameLine(const TrafficFrame& frame) {
    return (frame.time.isEmpty() ? FrameTime(frame) : frame.time) + QLatin1Char(' ') +
           FrameDirection(frame) + QLatin1Char(' ') +
           (frame.bytes.isEmpty() ? QStringLiteral("--") : FrameHex(frame.bytes)) +
           QStringLiteral(" | ") + FrameSummary(frame);
}

bool TrafficTap::available() {
    return library().SetTraceHook != nullptr;
}

int TrafficTap::listen(Listener listener) {
    if (!available()) return 0;
    if (listeners_.empty()) library().SetTraceHook(&TrafficTap::hook, this);
    listeners_[next_] = std::move(listener);
    return next_++;
}

void TrafficTap::stop(int id) {
    if (listeners_.erase(id) == 0 || !listeners_.empty()) return;
    if (available()) library().SetTraceHook(nullptr, nullptr);
}

void TrafficTap::hook(void* context, int32_t direction, const uint8_t* bytes, int32_t length,
                      uint64_t timeNs, int32_t status) {
    auto* tap = static_cast<TrafficTap*>(context);
    TrafficFrame frame{timeNs, direction == 0,
                       QByteArray(reinterpret_cast<const char*>(bytes), length), status, QString()};
    frame.time = FrameTime(frame);
    // A copy: a listener may stop listening from inside its call.
    const auto listeners = tap->listeners_;
    for (const auto& entry : listeners)
        entry.second(frame);
}

TrafficTap& traffic() {
    static TrafficTap tap;
    return tap;
}

} // namespace qmt
