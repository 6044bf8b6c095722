#pragma once
// The pipe from the program, read on a thread of its own: a copy-data message
// is acknowledged as soon as its record is decoded and queued, whatever the
// window is busy with. The window takes the queued records on its own thread.

#include "common/TrendProtocol.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace curvix {

class LiveSource : public QObject {
    Q_OBJECT
public:
    explicit LiveSource(QObject* parent = nullptr);
    ~LiveSource() override; // stops and joins the reader

    // Reads frames from inFd and answers on outFd. The token is the window
    // handle the registration announces (never zero).
    void start(int inFd, int outFd);
    uint32_t token() const { return token_; }

    // Moves the records queued so far to `out` (appending).
    void take(std::vector<Record>& out);

    // Ends the live source on request: the reader stops, both pipe ends are
    // closed (acknowledgements stop, the program sees the viewer gone) and
    // ended(reason) follows. Safe to call more than once and after the end.
    void stop(const QString& reason = QStringLiteral("Источник отключён"));
    bool running() const { return running_.load(); }

    int64_t foreignMessages() const { return foreign_.load(); }

signals:
    void recordsReady();
    // Reading has ended for good: the program exited, or the stream broke.
    void ended(const QString& reason);

private:
    void run();
    void handle(const std::string& frame);
    // Queues a record; true when the window must be woken for it.
    bool queue(Record record);
    void notify();
    // False when the answer could not go out (the source ends).
    bool reply(const std::string& bytes);
    void closeInput();
    void finish(const QString& reason);

    int in_ = -1, out_ = -1;
    int outFlags_ = -1; // the answer pipe's own flags, when made non-blocking
    int stop_[2] = {-1, -1};
    uint32_t token_;
    bool outputGone_ = false;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<Record> queued_;
    bool notified_ = false;
    std::atomic<int64_t> foreign_{0};
    std::atomic<bool> running_{false};
    std::atomic<bool> finished_{false}; // ended(reason) is on its way
    bool started_ = false;              // window thread: start() has run
    bool stopped_ = false;              // window thread: stop() has run
    bool ending_ = false;               // reader thread: leave after this batch
};

} // namespace curvix
