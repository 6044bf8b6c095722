#include "monitor/TrendHandOff.h"

#include "common/Cp1251.h"
#include "common/TrendProtocol.h"
#include "common/Ui.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace qmt {
namespace {

std::int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

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

// Writes all of data before the deadline; false when the viewer is gone or
// does not take it in time.
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

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

} // namespace

struct TrendHandOff::Viewer {
    pid_t pid = -1;
    int in = -1;  // our end of the viewer's standard input
    int out = -1; // our end of the viewer's standard output
    int pidFd = -1;
    curvix::FrameReader frames;
    std::vector<std::uint32_t> pendingRegistrations; // read while waiting for an ack
    QSocketNotifier* outNotifier = nullptr;
    QSocketNotifier* exitNotifier = nullptr;
    bool gone = false;
    bool reaped = false;
};

TrendHandOff::TrendHandOff(QObject* parent) : QObject(parent) {
    programDir_ = QCoreApplication::applicationDirPath();
}

TrendHandOff::~TrendHandOff() {
    // The viewers keep running; they see the end of their input and decide
    // for themselves. Zombies of viewers that exit later go to init with us.
    for (auto& v : viewers_) {
        delete v->outNotifier;
        delete v->exitNotifier;
        closeFd(v->in);
        closeFd(v->out);
        closeFd(v->pidFd);
    }
}

QString TrendHandOff::findViewer(const QString& programDir, const QByteArray& pathVariable) {
    const QString name = QStringLiteral("curvix");
    if (!programDir.isEmpty()) {
        const QFileInfo beside(QDir(programDir).filePath(name));
        if (beside.exists() && beside.isFile()) return beside.absoluteFilePath();
    }
    for (const QByteArray& dir : pathVariable.split(':')) {
        const QFileInfo candidate(
            QDir(QFile::decodeName(dir.isEmpty() ? "." : dir)).filePath(name));
        if (candidate.isFile() && candidate.isExecutable()) return candidate.absoluteFilePath();
    }
    return QString();
}

TrendHandOff::Start TrendHandOff::startViewer() {
    const QString path = findViewer(programDir_, qgetenv("PATH"));
    if (path.isEmpty()) return Start::NotFound;

    int toChild[2], fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0) return Start::Failed;
    if (::pipe2(fromChild, O_CLOEXEC) != 0) {
        ::close(toChild[0]);
        ::close(toChild[1]);
        return Start::Failed;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
    // No handle of the program (the serial port above all) reaches the viewer.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, pipeOnly;
    sigemptyset(&none);
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &pipeOnly);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    const QByteArray file = QFile::encodeName(path);
    char* argv[] = {const_cast<char*>(file.constData()), nullptr};
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, file.constData(), &actions, &attr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    ::close(toChild[0]);
    ::close(fromChild[1]);
    if (rc != 0) {
        ::close(toChild[1]);
        ::close(fromChild[0]);
        return Start::Failed;
    }

    auto viewer = std::make_unique<Viewer>();
    Viewer* v = viewer.get();
    v->pid = pid;
    v->in = toChild[1];
    v->out = fromChild[0];
    ::fcntl(v->in, F_SETFL, ::fcntl(v->in, F_GETFL) | O_NONBLOCK);
    ::fcntl(v->out, F_SETFL, ::fcntl(v->out, F_GETFL) | O_NONBLOCK);
    v->outNotifier = new QSocketNotifier(v->out, QSocketNotifier::Read, this);
    connect(v->outNotifier, &QSocketNotifier::activated, this, [this, v] { readable(v); });
    // The exit is noticed on its own, so a viewer is reaped even when it
    // leaves its output open to a grandchild.
    v->pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (v->pidFd >= 0) {
        ::fcntl(v->pidFd, F_SETFD, FD_CLOEXEC);
        v->exitNotifier = new QSocketNotifier(v->pidFd, QSocketNotifier::Read, this);
        connect(v->exitNotifier, &QSocketNotifier::activated, this, [this, v] { reap(v); });
    }
    viewers_.push_back(std::move(viewer));

    clock().sleepMs(500);
    const std::string post = curvix::threadFrame(static_cast<std::uint32_t>(::gettid()));
    if (!writeAll(v->in, post, nowMs() + ackTimeoutMs_)) markGone(v);
    return Start::Started;
}

bool TrendHandOff::viewerAlive() const {
    return target_ && !target_->gone;
}

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

void TrendHandOff::markGone(Viewer* v) {
    if (v->gone) return;
    v->gone = true;
    if (v->outNotifier) {
        v->outNotifier->setEnabled(false);
        v->outNotifier->deleteLater();
        v->outNotifier = nullptr;
    }
    closeFd(v->in);
    closeFd(v->out);
    v->frames = curvix::FrameReader();
    v->pendingRegistrations.clear();
    reap(v);
    // Without a process descriptor (older kernels) a viewer that is gone but
    // still running is reaped by polling now and then.
    if (!v->reaped && v->pidFd < 0 && !reapTimer_) {
        reapTimer_ = new QTimer(this);
        connect(reapTimer_, &QTimer::timeout, this, [this] {
            bool waiting = false;
            for (auto& owned : viewers_) {
                if (owned->gone && !owned->reaped && owned->pidFd < 0) reap(owned.get());
                waiting = waiting || (owned->gone && !owned->reaped && owned->pidFd < 0);
            }
            if (!waiting) {
                reapTimer_->deleteLater();
                reapTimer_ = nullptr;
            }
        });
        reapTimer_->start(1000);
    }
}

void TrendHandOff::reap(Viewer* v) {
    if (v->reaped) return;
    int status = 0;
    const pid_t r = ::waitpid(v->pid, &status, WNOHANG);
    if (r == v->pid || (r < 0 && errno == ECHILD)) {
        v->reaped = true;
        if (v->exitNotifier) {
            v->exitNotifier->setEnabled(false);
            v->exitNotifier->deleteLater();
            v->exitNotifier = nullptr;
        }
        closeFd(v->pidFd);
        // An exited viewer cannot receive, even with its pipes still open.
        if (!v->gone) markGone(v);
        // Forgotten from the event loop: a caller up the stack may still hold it.
        QTimer::singleShot(0, this, [this] { dropReaped(); });
    }
}

void TrendHandOff::dropReaped() {
    for (auto it = viewers_.begin(); it != viewers_.end();) {
        Viewer* v = it->get();
        if (v->gone && v->reaped) {
            if (target_ == v) target_ = nullptr;
            it = viewers_.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace qmt
