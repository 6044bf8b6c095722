#pragma once
// The hand-off of live values to the trend viewer `curvix`.
//
// Each viewer is a child process started with no arguments, with its standard
// input and output on pipes owned here. Both directions carry framed messages
// (a 32-bit little-endian length, then the bytes): the program posts the
// thread message, a viewer answers with its registration at any time, and every
// record goes as a copy-data message that the viewer acknowledges. A viewer that
// exits, closes its pipe or leaves a record unacknowledged for 2 s is gone and
// gets nothing more. Viewers are never killed and never waited for: one that is
// running when the program ends keeps running.

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <sys/types.h>

class QTimer;

namespace qmt {

struct TrendChannel {
    std::int32_t id;
    QString name;
};

struct TrendCell {
    std::int32_t id;
    QString text; // the grid cell as displayed, a signed decimal
};

class TrendHandOff : public QObject {
    Q_OBJECT
public:
    enum class Start { Started, NotFound, Failed };

    explicit TrendHandOff(QObject* parent = nullptr);
    ~TrendHandOff() override;

    // The viewer is looked for in programDir first, then on PATH.
    static QString findViewer(const QString& programDir, const QByteArray& pathVariable);
    void setProgramDir(const QString& dir) { programDir_ = dir; }

    // Starts another viewer, waits 500 ms and posts it the thread message.
    Start startViewer();

    // Asked at each registration for the offered channels selected at that
    // moment, in id order.
    void setChannels(std::function<std::vector<TrendChannel>()> channels) {
        channels_ = std::move(channels);
    }

    // A viewer has registered (its handle is never cleared afterwards).
    bool hasViewer() const { return handle_ != 0; }
    std::uint32_t handle() const { return handle_; }
    // The registered viewer is still there to receive.
    bool viewerAlive() const;

    void sendStart();
    // One sample per cell, all with the same local time stamp. A cell whose
    // text is not a number is left out rather than sent as a wrong value.
    void sendSamples(const std::vector<TrendCell>& cells, const QDateTime& localTime);

    // For tests: the acknowledgement deadline and the viewers not yet reaped.
    void setAckTimeoutMs(int ms) { ackTimeoutMs_ = ms; }
    int childCount() const { return static_cast<int>(viewers_.size()); }

    static QByteArray sampleRecord(std::int32_t id, float value, const QDateTime& localTime);

signals:
    void viewerRegistered(std::uint32_t handle);
    // The viewer started last is gone (closed from its own window, exited, or
    // stopped taking records): the hand-off it stood for has ended.
    void viewerClosed();

private:
    struct Viewer;

    void readable(Viewer* viewer);
    void handleFrames(Viewer* viewer);
    void registration(Viewer* viewer, std::uint32_t handle);
    bool sendRecord(const std::string& record);
    bool waitAck(Viewer* viewer, std::int64_t deadlineMs);
    void markGone(Viewer* viewer);
    void reap(Viewer* viewer);
    void dropReaped();

    QString programDir_;
    std::function<std::vector<TrendChannel>()> channels_;
    std::vector<std::unique_ptr<Viewer>> viewers_;
    Viewer* target_ = nullptr;
    Viewer* latest_ = nullptr; // the viewer started last, while it is there
    std::uint32_t handle_ = 0;
    int ackTimeoutMs_ = 2000;
    QTimer* reapTimer_ = nullptr;
};

} // namespace qmt
