// Opening a file on a worker thread, with its progress and cancel.
#include "ui/FileOpening.h"

#include "common/Ui.h"
#include "core/CsvRead.h"
#include "core/Dataset.h"

#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QThread>

#include <atomic>
#include <utility>

namespace curvix {

struct FileOpening::Job {
    QString path;
    std::atomic<bool> cancel{false};
    Dataset data;  // the worker's until the thread ends
    FileLoad load; // likewise
    std::unique_ptr<QThread> thread;
};

FileOpening::FileOpening(QStatusBar* bar, Loaded loaded, QObject* parent)
    : QObject(parent), loaded_(std::move(loaded)) {
    QWidget* owner = bar->window();
    pbOpen_ = new QProgressBar(owner);
    pbOpen_->setObjectName(QStringLiteral("pbOpen"));
    pbOpen_->setRange(0, 100);
    pbOpen_->setFormat(QStringLiteral("Открытие: %p %"));
    pbOpen_->setMinimumWidth(
        pbOpen_->fontMetrics().horizontalAdvance(QStringLiteral("Открытие: 100 %")) + 40);
    btCancelOpen_ = new QPushButton(QStringLiteral("Отмена"), owner);
    btCancelOpen_->setObjectName(QStringLiteral("btCancelOpen"));
    btCancelOpen_->setAutoDefault(false);
    qmt::onClicked(btCancelOpen_, [this] { cancelOpen(); });
    bar->addPermanentWidget(pbOpen_);
    bar->addPermanentWidget(btCancelOpen_);
    showControls(false);
}

FileOpening::~FileOpening() {
    // A worker still reading must end before the window it reports to.
    if (job_) {
        job_->cancel = true;
        job_->thread->wait();
    }
}

void FileOpening::open(const QString& path) {
    stop();
    auto job = std::make_shared<Job>();
    job->path = path;
    Job* raw = job.get();
    const std::weak_ptr<Job> weak = job;
    // Progress comes queued to this object, which outlives the thread; a
    // report of an open since cancelled or replaced is dropped.
    job->thread.reset(QThread::create([this, raw, weak] {
        raw->load = loadDataFile(raw->path, raw->data, [this, raw, weak](int percent) {
            if (raw->cancel) return false;
            QMetaObject::invokeMethod(
                this,
                [this, weak, percent] {
                    const std::shared_ptr<Job> job = weak.lock();
                    if (job && job == job_ && !job->cancel) showProgress(percent);
                },
                Qt::QueuedConnection);
            return true;
        });
    }));
    // Compared as the progress is: the address of a freed job may be the next one's.
    connect(job->thread.get(), &QThread::finished, this, [this, weak] {
        const std::shared_ptr<Job> finished = weak.lock();
        if (finished && finished == job_) qmt::guarded([this] { done(job_); });
    });
    job_ = job;
    showProgress(0);
    showControls(true);
    job->thread->start();
}

void FileOpening::showControls(bool on) {
    pbOpen_->setVisible(on);
    btCancelOpen_->setVisible(on);
    emit controlsShown(on);
}

bool FileOpening::opening() const {
    return job_ && !job_->cancel;
}

void FileOpening::showProgress(int percent) {
    if (percent == pbOpen_->value()) return;
    pbOpen_->setValue(percent);
    emit progress(percent);
}

void FileOpening::cancelOpen() {
    if (!job_ || job_->cancel) return;
    // The window is back at once; the worker stops at its next piece and
    // what it read is dropped when it ends.
    job_->cancel = true;
    showControls(false);
    emit finished(false);
}

void FileOpening::stop() {
    if (!job_) return;
    const bool told = job_->cancel.exchange(true);
    job_->thread->wait();
    job_.reset();
    showControls(false);
    if (!told) emit finished(false);
}

void FileOpening::done(const std::shared_ptr<Job>& current) {
    const std::shared_ptr<Job> job = current; // job_ is reset below
    job->thread->wait();
    job_.reset();
    showControls(false);
    if (job->cancel || job->load.cancelled) return; // already told
    if (!job->load.error.isEmpty()) {
        qmt::showMessage(job->load.error, QStringLiteral("CURVIX"), qmt::MsgIcon::Error,
                         pbOpen_->window());
        emit finished(false);
        return;
    }
    loaded_(job->path, job->data, job->load);
    emit finished(true);
}

} // namespace curvix
