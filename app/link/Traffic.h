#pragma once
// The frames on the line as the library hands them over: each request and
// reply with its time and the transaction's status, decoded into what an
// engineer reads off a bus (station, function, address, count, exception).
// The monitor window and the command line's --trace share one line format.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>

namespace qmt {

struct TrafficFrame {
    uint64_t timeNs = 0; // monotonic clock
    bool request = true; // sent by the program; false: the reply
    QByteArray bytes;    // as on the line, CRC included; empty: nothing came
    int32_t status = 0;  // the transaction's result, the same for both frames
    QString time;        // FrameTime, fixed when the frame was handed over
};

// "01 03 04 00 00 02 C5 3B".
QString FrameHex(const QByteArray& bytes);
// "станция 1, функция 3, адрес 1024, количество 2"; a reply adds what failed
// ("исключение 2: Недопустимый адрес данных", "Нет ответа!").
QString FrameSummary(const TrafficFrame& frame);
// "TX" for a request, "RX" for a reply.
QString FrameDirection(const TrafficFrame& frame);
// The frame's time of day, to the microsecond: "14:03:05.123456".
QString FrameTime(const TrafficFrame& frame);
// "14:03:05.123456 TX 01 03 04 00 00 02 C5 3B | станция 1, ...": one line of
// a saved monitor or a --trace file (with the frame's time as it was fixed).
QString FrameLine(const TrafficFrame& frame);

// Hands the library's frames to whoever listens. The library's hook is set
// only while someone listens, so an unwatched line costs nothing.
class TrafficTap {
public:
    using Listener = std::function<void(const TrafficFrame&)>;
    // false when the library has no trace hook (an older one).
    static bool available();
    // The listener's id, for stop(); 0 when there is nothing to listen to.
    int listen(Listener listener);
    void stop(int id);

private:
    static void hook(void* context, int32_t direction, const uint8_t* bytes, int32_t length,
                     uint64_t timeNs, int32_t status);
    std::map<int, Listener> listeners_;
    int next_ = 1;
};

TrafficTap& traffic();

} // namespace qmt
