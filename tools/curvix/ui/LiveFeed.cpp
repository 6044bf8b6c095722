// The live source's records into the dataset, and the end of reception.
#include "ui/LiveFeed.h"

#include "common/Ui.h"
#include "core/Dataset.h"
#include "ui/LiveSource.h"
#include "ui/StatusLine.h"
#include "ui/TraceLog.h"

#include <QCoreApplication>
#include <QDateTime>

#include <algorithm>
#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>

namespace curvix {

LiveFeed::LiveFeed(Dataset& data, StatusLine& status, TraceLog& trace,
                   std::function<void()> changed, std::function<void()> statusChanged,
                   QObject* parent)
    : QObject(parent), data_(data), status_(status), trace_(trace), changed_(std::move(changed)),
      statusChanged_(std::move(statusChanged)) {}

void LiveFeed::attach(int inFd, int outFd) {
    source_ = new LiveSource(this);
    connect(source_, &LiveSource::recordsReady, this, &LiveFeed::takeFromSource);
    connect(source_, &LiveSource::ended, this, &LiveFeed::sourceEnded);
    source_->start(inFd, outFd);
    // The reader (started above, at the normal priority) must get a processor
    // the moment a message arrives, even while this thread redraws: a drawing
    // thread a few steps nicer lets the scheduler switch to it at once. Only
    // this thread changes; raising niceness needs no privilege.
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, 0);
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), std::min(nice + 5, 19));
    trace_.line(QStringLiteral("token %1 pid %2")
                    .arg(source_->token())
                    .arg(QCoreApplication::applicationPid()));
}

void LiveFeed::takeFromSource() {
    std::vector<Record> records;
    source_->take(records);
    data_.counters().foreignAddress = source_->foreignMessages();
    apply(records);
}

bool LiveFeed::samplesArriving() const {
    return source_ && !sourceGone_ && source_->running() && lastSampleMs_ != 0 &&
           qmt::clock().now().toMSecsSinceEpoch() - lastSampleMs_ < kArrivingMs;
}

void LiveFeed::end() {
    if (!source_ || sourceGone_) return;
    // The program sees the viewer gone: no more acknowledgements.
    source_->stop(QStringLiteral("Приём остановлен: окно закрыто"));
    sourceGone_ = true;
    status_.setSource(QStringLiteral("Приём остановлен"));
    statusChanged_();
    trace_.line(QStringLiteral("closed"));
}

void LiveFeed::sourceEnded(const QString& reason) {
    // Whatever is still queued was acknowledged: it is shown too.
    takeFromSource();
    sourceGone_ = true;
    status_.setSource(reason);
    statusChanged_();
    trace_.line(QStringLiteral("ended ") + reason);
}

void LiveFeed::apply(const std::vector<Record>& records) {
    if (records.empty()) return;
    const int64_t now = QDateTime::currentMSecsSinceEpoch();
    for (const Record& r : records) {
        data_.apply(r, now);
        if (trace_.on()) trace_.record(r, data_);
    }
    for (const Record& r : records)
        if (r.type == RecordType::Sample) {
            lastSampleMs_ = qmt::clock().now().toMSecsSinceEpoch();
            break;
        }
    if (status_.source() == QStringLiteral("Ожидание данных"))
        status_.setSource(QStringLiteral("Приём данных"));
    changed_();
}

} // namespace curvix
