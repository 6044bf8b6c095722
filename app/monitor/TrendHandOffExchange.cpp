// The trend hand-off's exchange with a started viewer: its registrations, the
// records sent as copy-data messages and the wait for their acknowledgements.
#include "monitor/TrendHandOffViewer.h"

#include "common/Cp1251.h"

#include <QLocale>
#include <QTimer>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

namespace qmt {
namespace {

// The viewer's registration: the thread message sent back with its handle.
bool isRegistration(const std::string& frame, std::uint32_t* handle) {
    const curvix::Message m = curvix::parseMessage(frame);
    if (m.kind != curvix::MessageKind::Thread) return false;
    *handle = m.wParam;
    return true;
}

// A write to a viewer that has closed its end must fail with EPIPE, never end
// the program: SIGPIPE is held blocked around the write and a signal it raised
// is taken off again before the mask is restored.
ssize_t writeNoSigpipe(int fd, const char* data, std::size_t size) {
    sigset_t pipeSet, old;
    sigemptyset(&pipeSet);
    sigaddset(&pipeSet, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSet, &old);
    sigset_t pending;
    sigpending(&pending);
    const bool wasPending = sigismember(&pending, SIGPIPE);
    const ssize_t n = ::write(fd, data, size);
    const int savedErrno = errno;
    if (n < 0 && savedErrno == EPIPE && !wasPending) {
        const timespec zero{0, 0};
        while (sigtimedwait(&pipeSet, nullptr, &zero) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    errno = savedErrno;
    return n;
}

} // namespace

namespace handoff {

std::int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool writeAll(int fd, const std::string& data, std::int64_t deadlineMs) {
    const char* p = data.data();
    std::size_t left = static_cast<std::size_t>(data.size());
    while (left > 0) {
        const ssize_t n = writeNoSigpipe(fd, p, left);
        if (n > 0) {
            p += n;
            left -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return false;
        const std::int64_t remaining = deadlineMs - nowMs();
        if (remaining <= 0) return false;
        pollfd pfd{fd, POLLOUT, 0};
        const int r = ::poll(&pfd, 1, static_cast<int>(remaining));
        if (r < 0 && errno != EINTR) return false;
        if (r > 0 && (pfd.revents & (POLLERR | POLLNVAL))) return false;
    }
    return true;
}

} // namespace handoff

using handoff::nowMs;
using handoff::writeAll;

void TrendHandOff::readable(Viewer* v) {
    if (v->gone) return;
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(v->out, chunk, sizeof chunk);
        if (n > 0) {
            v->frames.feed(chunk, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) break;
        // End of output or a read error: the viewer is gone, but what it
        // wrote before still counts.
        handleFrames(v);
        markGone(v);
        return;
    }
    handleFrames(v);
}

void TrendHandOff::handleFrames(Viewer* v) {
    std::vector<std::uint32_t> registrations;
    registrations.swap(v->pendingRegistrations);
    std::string body;
    while (v->frames.next(body)) {
        std::uint32_t handle = 0;
        // A stray acknowledgement and messages of other kinds are ignored.
        if (isRegistration(body, &handle)) registrations.push_back(handle);
    }
    for (std::uint32_t handle : registrations)
        registration(v, handle);
    if (v->frames.broken()) markGone(v);
}

void TrendHandOff::registration(Viewer* v, std::uint32_t handle) {
    target_ = v;
    handle_ = handle;
    emit viewerRegistered(handle);
    if (!sendRecord(curvix::beginRecord())) return;
    const std::vector<TrendChannel> channels =
        channels_ ? channels_() : std::vector<TrendChannel>();
    for (const TrendChannel& c : channels) {
        const QByteArray name = toCp1251(c.name);
        const std::string_view nameBytes(name.constData(), static_cast<std::size_t>(name.size()));
        if (!sendRecord(curvix::channelRecord(c.id, nameBytes))) return;
    }
}

void TrendHandOff::sendStart() {
    sendRecord(curvix::startRecord());
}

QByteArray TrendHandOff::sampleRecord(std::int32_t id, float value, const QDateTime& t) {
    return QByteArray::fromStdString(curvix::sampleRecord(id, value, curvix::stampOf(t)));
}

void TrendHandOff::sendSamples(const std::vector<TrendCell>& cells, const QDateTime& localTime) {
    const QLocale locale;
    for (const TrendCell& cell : cells) {
        bool ok = false;
        double value = locale.toDouble(cell.text, &ok);
        if (!ok) value = QLocale::c().toDouble(cell.text.trimmed(), &ok);
        if (!ok) continue;
        const float sample = static_cast<float>(value);
        if (!sendRecord(curvix::sampleRecord(cell.id, sample, curvix::stampOf(localTime)))) return;
    }
}

bool TrendHandOff::sendRecord(const std::string& record) {
    if (!viewerAlive()) return false;
    Viewer* v = target_;
    const std::int64_t deadline = nowMs() + ackTimeoutMs_;
    if (!writeAll(v->in, curvix::copyDataFrame(handle_, record), deadline) ||
        !waitAck(v, deadline)) {
        markGone(v);
        return false;
    }
    return true;
}

bool TrendHandOff::waitAck(Viewer* v, std::int64_t deadlineMs) {
    for (;;) {
        std::string body;
        while (v->frames.next(body)) {
            if (curvix::isAcknowledgement(body)) {
                // Registrations read meanwhile are handled from the event loop.
                if (!v->pendingRegistrations.empty() || v->frames.pending() >= 4)
                    QTimer::singleShot(0, this, [this, v] {
                        for (auto& owned : viewers_)
                            if (owned.get() == v && !v->gone) handleFrames(v);
                    });
                return true;
            }
            std::uint32_t handle = 0;
            if (isRegistration(body, &handle)) v->pendingRegistrations.push_back(handle);
        }
        if (v->frames.broken()) return false;
        const std::int64_t remaining = deadlineMs - nowMs();
        if (remaining <= 0) return false;
        pollfd pfd{v->out, POLLIN, 0};
        const int r = ::poll(&pfd, 1, static_cast<int>(remaining));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        char chunk[4096];
        const ssize_t n = ::read(v->out, chunk, sizeof chunk);
        if (n > 0)
            v->frames.feed(chunk, static_cast<std::size_t>(n));
        else if (n == 0 || (errno != EAGAIN && errno != EINTR))
            return false;
    }
}

} // namespace qmt
