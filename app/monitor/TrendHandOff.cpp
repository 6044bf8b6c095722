// The trend hand-off's viewers as processes: finding and starting curvix on
// pipes, posting it the thread message, and letting go of one that is gone.
#include "monitor/TrendHandOffViewer.h"

#include "common/Ui.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace qmt {
namespace {

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

} // namespace

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
    latest_ = v;

    clock().sleepMs(500);
    const std::string post = curvix::threadFrame(static_cast<std::uint32_t>(::gettid()));
    if (!handoff::writeAll(v->in, post, handoff::nowMs() + ackTimeoutMs_)) markGone(v);
    return Start::Started;
}

bool TrendHandOff::viewerAlive() const {
    return target_ && !target_->gone;
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
    if (v == latest_) {
        latest_ = nullptr;
        emit viewerClosed();
    }
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
