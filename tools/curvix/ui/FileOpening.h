#pragma once
// A value log or a CSV opened on a worker thread, the window answering
// meanwhile: the status bar shows the progress, "Отмена" (or Esc) stops it
// and leaves the window as it was. The file is read into a dataset of the
// job's own, handed over whole when done, so the window's dataset is only
// ever touched by the GUI thread.

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QProgressBar;
class QPushButton;
class QStatusBar;

namespace curvix {

class Dataset;
struct FileLoad;

class FileOpening : public QObject {
    Q_OBJECT
public:
    // loaded takes what a finished open read, before finished(true).
    using Loaded = std::function<void(const QString& path, Dataset& data, const FileLoad& load)>;
    FileOpening(QStatusBar* bar, Loaded loaded, QObject* parent);
    ~FileOpening() override; // a worker still reading is stopped and waited for

    // Starts reading path, ending an open still running.
    void open(const QString& path);
    bool opening() const;
    // A worker thread still running (after a cancel, until it stops).
    bool workerRunning() const { return job_ != nullptr; }
    void cancelOpen();
    QPushButton* cancelButton() const { return btCancelOpen_; }

signals:
    void progress(int percent);
    void finished(bool ok); // false: failed or cancelled
    // The progress and "Отмена" appear (true) or go (false).
    void controlsShown(bool on);

private:
    struct Job;
    void showProgress(int percent);
    void showControls(bool on);
    void done(const std::shared_ptr<Job>& job);
    void stop();

    Loaded loaded_;
    QProgressBar* pbOpen_;
    QPushButton* btCancelOpen_;
    std::shared_ptr<Job> job_; // the open in progress, if any
};

} // namespace curvix
