// The pipe from the program, read and acknowledged on a thread of its own.
#include "ui/LiveSource.h"

#include <QMetaObject>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace curvix {

LiveSource::LiveSource(QObject* parent) : QObject(parent) {
    std::random_device random;
    do {
        token_ = random();
    } while (token_ == 0);
}

namespace {

// How long an acknowledgement may wait for room in the pipe: the program
// waits as long for it and then counts the viewer as gone.
constexpr int kReplyTimeoutMs = 2000;

} // namespace

LiveSource::~LiveSource() {
    if (thread_.joinable()) {
        const char byte = 0;
        [[maybe_unused]] const ssize_t n = ::write(stop_[1], &byte, 1);
        thread_.join();
    }
    for (int fd : stop_)
        if (fd >= 0) ::close(fd);
}

void LiveSource::start(int inFd, int outFd) {
    // A program that has gone must not take the viewer with it.
    std::signal(SIGPIPE, SIG_IGN);
    in_ = inFd;
    out_ = outFd;
    // Answers never block the reader: a full pipe is waited for with a limit.
    // Only a pipe: a terminal's flags are shared with the shell that started us.
    struct stat st;
    outFlags_ = ::fcntl(out_, F_GETFL);
    if (outFlags_ >= 0 && ::fstat(out_, &st) == 0 && S_ISFIFO(st.st_mode))
        ::fcntl(out_, F_SETFL, outFlags_ | O_NONBLOCK);
    else
        outFlags_ = -1;
    if (::pipe2(stop_, O_CLOEXEC) != 0) stop_[0] = stop_[1] = -1;
    running_ = true;
    started_ = true;
    thread_ = std::thread([this] { run(); });
}

void LiveSource::stop(const QString& reason) {
    if (stopped_) return;
    stopped_ = true;
    if (thread_.joinable()) {
        const char byte = 0;
        [[maybe_unused]] const ssize_t n = ::write(stop_[1], &byte, 1);
        thread_.join();
    }
    // The program's next message finds no reader, its next wait no answer.
    closeInput();
    if (out_ >= 0 && outFlags_ >= 0) ::fcntl(out_, F_SETFL, outFlags_);
    if (out_ >= 0) ::close(out_);
    out_ = -1;
    outputGone_ = true;
    // Unless the reader has already told why it ended (program gone, stream broken).
    if (started_ && !finished_.exchange(true)) emit ended(reason);
}

void LiveSource::closeInput() {
    if (in_ >= 0) ::close(in_);
    in_ = -1;
}

void LiveSource::take(std::vector<Record>& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (out.empty())
        out.swap(queued_);
    else {
        out.insert(out.end(), std::make_move_iterator(queued_.begin()),
                   std::make_move_iterator(queued_.end()));
        queued_.clear();
    }
    notified_ = false;
}

bool LiveSource::queue(Record record) {
    std::lock_guard<std::mutex> lock(mutex_);
    queued_.push_back(std::move(record));
    const bool notify = !notified_;
    notified_ = true;
    return notify;
}

void LiveSource::notify() {
    // One wake-up per batch: the window takes everything queued by then.
    QMetaObject::invokeMethod(
        this, [this] { emit recordsReady(); }, Qt::QueuedConnection);
}

bool LiveSource::reply(const std::string& bytes) {
    if (outputGone_) return true; // reading goes on; the program may still send
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(out_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A full pipe is not a gone reader: wait for room, a while.
            pollfd fds[2] = {{out_, POLLOUT, 0}, {stop_[0], POLLIN, 0}};
            int ready;
            do
                ready = ::poll(fds, stop_[0] >= 0 ? 2 : 1, kReplyTimeoutMs);
            while (ready < 0 && errno == EINTR);
            if (stop_[0] >= 0 && (fds[1].revents & POLLIN)) return false;
            if (ready == 0) {
                // Stop reading, so that the program's next message fails
                // instead of waiting for an answer that cannot go out.
                closeInput();
                finish(QStringLiteral("Источник отключён: ответ не уходит 2 с"));
                return false;
            }
            if (ready > 0 && (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) == 0) continue;
        }
        outputGone_ = true; // EPIPE: nobody reads the answers any more
        return true;
    }
    return true;
}

void LiveSource::handle(const std::string& frame) {
    const Message m = parseMessage(frame);
    switch (m.kind) {
    case MessageKind::Thread:
        if (!reply(registrationFrame(token_))) ending_ = true;
        return;
    case MessageKind::CopyData: {
        bool wake = false;
        if (!m.complete) {
            Record bad;
            bad.error = QStringLiteral("сообщение короче заголовка");
            wake = queue(std::move(bad));
        } else if (m.wParam != token_) {
            ++foreign_;
        } else {
            wake = queue(decodeRecord(m.record));
        }
        // Every copy-data is answered, and first: the sender waits for it, the
        // window does not.
        if (!reply(acknowledgementFrame())) ending_ = true;
        if (wake) notify();
        return;
    }
    case MessageKind::Other:
        return;
    }
}

void LiveSource::finish(const QString& reason) {
    running_ = false;
    finished_ = true;
    QMetaObject::invokeMethod(
        this, [this, reason] { emit ended(reason); }, Qt::QueuedConnection);
}

void LiveSource::run() {
    FrameReader reader;
    std::string frame;
    char buffer[65536];
    for (;;) {
        pollfd fds[2] = {{in_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
        const int ready = ::poll(fds, stop_[0] >= 0 ? 2 : 1, -1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) {
            finish(QStringLiteral("Источник отключён: ошибка чтения"));
            return;
        }
        if (stop_[0] >= 0 && (fds[1].revents & POLLIN)) {
            running_ = false;
            return;
        }
        const ssize_t n = ::read(in_, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) {
            finish(reader.pending() > 0
                       ? QStringLiteral("Источник отключён (последнее сообщение оборвано)")
                       : QStringLiteral("Источник отключён"));
            return;
        }
        reader.feed(buffer, static_cast<std::size_t>(n));
        while (!ending_ && reader.next(frame))
            handle(frame);
        if (ending_) { // an answer stuck, or the window asked to end
            running_ = false;
            return;
        }
        if (reader.broken()) {
            // The sender gets an error instead of a pipe that never drains.
            closeInput();
            finish(QStringLiteral("Приём остановлен: длина сообщения %1 байт больше 64 КиБ")
                       .arg(reader.badLength()));
            return;
        }
    }
}

} // namespace curvix
