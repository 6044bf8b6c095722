// Opening a file on a worker thread: the file is read and parsed into a
// dataset of the job's own, handed to the window whole when done, so the
// window's dataset is only ever touched by the GUI thread.
#include "ui/CurvixWindow.h"

#include "common/Ui.h"
#include "core/CsvRead.h"

#include <QFileInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QThread>

#include <atomic>
#include <utility>

namespace curvix {

struct CurvixWindow::Opening {
    QString path;
    std::atomic<bool> cancel{false};
    Dataset data;  // the worker's until the thread ends
    FileLoad load; // likewise
    std::unique_ptr<QThread> thread;
};

CurvixWindow::~CurvixWindow() {
    // A worker still reading must end before the window it reports to.
    if (opening_) {
        opening_->cancel = true;
        opening_->thread->wait();
    }
}

void CurvixWindow::buildOpenProgress() {
    pbOpen_ = new QProgressBar(this);
    pbOpen_->setObjectName(QStringLiteral("pbOpen"));
    pbOpen_->setRange(0, 100);
    pbOpen_->setFormat(QStringLiteral("Открытие: %p %"));
    pbOpen_->setMinimumWidth(
        pbOpen_->fontMetrics().horizontalAdvance(QStringLiteral("Открытие: 100 %")) + 40);
    btCancelOpen_ = new QPushButton(QStringLiteral("Отмена"), this);
    btCancelOpen_->setObjectName(QStringLiteral("btCancelOpen"));
    btCancelOpen_->setAutoDefault(false);
    qmt::onClicked(btCancelOpen_, qmt::handler(this, &CurvixWindow::cancelOpen));
    statusBar()->addPermanentWidget(pbOpen_);
    statusBar()->addPermanentWidget(btCancelOpen_);
    showOpenControls(false);
}

void CurvixWindow::openLog(const QString& path) {
    stopOpening();
    auto job = std::make_shared<Opening>();
    job->path = path;
    Opening* raw = job.get();
    const std::weak_ptr<Opening> weak = job;
    // Progress comes queued to the window, which outlives the thread; a
    // report of an open since cancelled or replaced is dropped.
    job->thread.reset(QThread::create([this, raw, weak] {
        raw->load = loadDataFile(raw->path, raw->data, [this, raw, weak](int percent) {
            if (raw->cancel) return false;
            QMetaObject::invokeMethod(
                this,
                [this, weak, percent] {
                    const std::shared_ptr<Opening> job = weak.lock();
                    if (job && job == opening_ && !job->cancel) showOpenProgress(percent);
                },
                Qt::QueuedConnection);
            return true;
        });
    }));
    connect(job->thread.get(), &QThread::finished, this, [this, raw] {
        if (opening_.get() == raw) qmt::guarded([this] { openDone(opening_); });
    });
    opening_ = job;
    showOpenProgress(0);
    showOpenControls(true);
    job->thread->start();
}

void CurvixWindow::showOpenControls(bool on) {
    pbOpen_->setVisible(on);
    btCancelOpen_->setVisible(on);
}

bool CurvixWindow::opening() const {
    return opening_ && !opening_->cancel;
}

void CurvixWindow::showOpenProgress(int percent) {
    if (percent == pbOpen_->value()) return;
    pbOpen_->setValue(percent);
    emit openProgress(percent);
}

void CurvixWindow::cancelOpen() {
    if (!opening_ || opening_->cancel) return;
    // The window is back at once; the worker stops at its next piece and
    // what it read is dropped when it ends.
    opening_->cancel = true;
    showOpenControls(false);
    emit openFinished(false);
}

void CurvixWindow::stopOpening() {
    if (!opening_) return;
    const bool told = opening_->cancel.exchange(true);
    opening_->thread->wait();
    opening_.reset();
    showOpenControls(false);
    if (!told) emit openFinished(false);
}

void CurvixWindow::openDone(const std::shared_ptr<Opening>& current) {
    const std::shared_ptr<Opening> job = current; // opening_ is reset below
    job->thread->wait();
    opening_.reset();
    showOpenControls(false);
    if (job->cancel || job->load.cancelled) return; // already told
    if (!job->load.error.isEmpty()) {
        qmt::showMessage(job->load.error, QStringLiteral("CURVIX"), qmt::MsgIcon::Error, this);
        emit openFinished(false);
        return;
    }
    data_ = std::move(job->data);
    showLoaded(job->path, job->load);
    emit openFinished(true);
}

} // namespace curvix
