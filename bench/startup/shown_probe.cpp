// Preloaded into the program by the start-up bench: when the main window
// paints for the first time, prints "shown <CLOCK_MONOTONIC ns>" on standard
// error and ends the process at once, so the figure holds nothing of the
// shutdown. With QMT_PROBE_STAY set it only prints and lets the program run.
#include <QCoreApplication>
#include <QEvent>
#include <QMainWindow>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unistd.h>

namespace {

class ShownProbe : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && qobject_cast<QMainWindow*>(watched)) {
            timespec ts{};
            clock_gettime(CLOCK_MONOTONIC, &ts);
            std::fprintf(stderr, "shown %lld\n",
                         static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec);
            std::fflush(stderr);
            if (!std::getenv("QMT_PROBE_STAY")) _exit(0);
            qApp->removeEventFilter(this);
        }
        return false;
    }
};

void installProbe() {
    qApp->installEventFilter(new ShownProbe);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installProbe)
