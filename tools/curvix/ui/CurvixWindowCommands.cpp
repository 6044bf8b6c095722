// The window's commands and what it is told: each handed to the room that
// does it; the files it opens, each in a window of its own.
#include "ui/CurvixWindow.h"

#include "common/Ui.h"
#include "core/CsvRead.h"
#include "ui/CursorTools.h"
#include "ui/FileOpening.h"
#include "ui/LiveFeed.h"
#include "ui/StatusLine.h"
#include "ui/StoreControls.h"
#include "ui/TraceLog.h"
#include "ui/ViewExport.h"
#include "ui/ViewNavigator.h"

#include <QComboBox>
#include <QFileInfo>

namespace curvix {

void CurvixWindow::attach(int inFd, int outFd) {
    feed_->attach(inFd, outFd);
}

void CurvixWindow::applyRecords(const std::vector<Record>& records) {
    feed_->apply(records);
}

bool CurvixWindow::loadLog(const QString& path) {
    const FileLoad load = loadDataFile(path, data_);
    if (!load.error.isEmpty()) {
        qmt::showMessage(load.error, QStringLiteral("CURVIX"), qmt::MsgIcon::Error, this);
        return false;
    }
    showLoaded(path, load);
    return true;
}

void CurvixWindow::showLoaded(const QString& path, const FileLoad& load) {
    exports_->setLogPath(path);
    trace_->line(QStringLiteral("%1 %2 channels, %3 lines, %4 skipped")
                     .arg(load.csv ? QStringLiteral("csv") : QStringLiteral("log"))
                     .arg(load.channels)
                     .arg(load.rows)
                     .arg(load.skipped));
    status_->setSource(QFileInfo(path).fileName());
    setWindowTitle(QStringLiteral("CURVIX — ") + QFileInfo(path).fileName());
    applyTimeAxis();
    nav_->setHaveView(false);
    refresh();
}

void CurvixWindow::openLog(const QString& path) {
    opener_->open(path);
}

bool CurvixWindow::opening() const {
    return opener_->opening();
}

bool CurvixWindow::workerRunning() const {
    return opener_->workerRunning();
}

void CurvixWindow::cancelOpen() {
    opener_->cancelOpen();
}

void CurvixWindow::openFileWindow(const QString& caption, const QString& filter) {
    qmt::FileDialogRequest request;
    request.owner = this;
    request.caption = caption;
    request.filter = filter + QStringLiteral(";;Все файлы (*)");
    const QString path = qmt::prompts().openFileName(request);
    if (path.isEmpty()) return;
    // A file opens beside the live curves, never over them.
    auto* window = new CurvixWindow(TimeBase::Elapsed);
    window->setAttribute(Qt::WA_DeleteOnClose);
    // Shown at once with its progress; a file that fails or is cancelled
    // takes its empty window with it.
    connect(window, &CurvixWindow::openFinished, window, [window](bool ok) {
        if (!ok) window->deleteLater();
    });
    window->show();
    window->openLog(path);
}

void CurvixWindow::miOpenLogClick() {
    openFileWindow(QStringLiteral("Открыть журнал значений"), QStringLiteral("Log-файлы (*.log)"));
}

void CurvixWindow::miOpenCsvClick() {
    openFileWindow(QStringLiteral("Открыть CSV"), QStringLiteral("CSV (*.csv *.txt)"));
}

QString CurvixWindow::statusText() const {
    return status_->text();
}

void CurvixWindow::updateStatus() {
    if (store_) store_->updateMemory();
    status_->update();
}

// The view.

void CurvixWindow::setSpan(int64_t spanMs) {
    nav_->setSpan(spanMs);
}

bool CurvixWindow::following() const {
    return nav_->following();
}

bool CurvixWindow::autoY() const {
    return nav_->autoY();
}

void CurvixWindow::showFullView() {
    nav_->showFullView();
}

void CurvixWindow::setVisibleRange(int64_t t0, int64_t t1) {
    nav_->setVisibleRange(t0, t1);
}

bool CurvixWindow::viewBack() {
    return nav_->viewBack();
}

int CurvixWindow::viewHistorySize() const {
    return nav_->historySize();
}

void CurvixWindow::setCursorAt(int which, int64_t t) {
    cursors_->setCursorAt(which, t);
}

bool CurvixWindow::markerShown() const {
    return cursors_->markerShown();
}

QString CurvixWindow::titleLine() const {
    return exports_->titleLine();
}

// The handlers.

void CurvixWindow::miExportAllClick() {
    exports_->miExportAllClick();
}

void CurvixWindow::miExportVisibleClick() {
    exports_->miExportVisibleClick();
}

void CurvixWindow::miSavePngClick() {
    exports_->miSavePngClick();
}

void CurvixWindow::miSaveSvgClick() {
    exports_->miSaveSvgClick();
}

void CurvixWindow::miSavePdfClick() {
    exports_->miSavePdfClick();
}

void CurvixWindow::cbSpanChange() {
    nav_->setSpan(cbSpan_->currentData().toLongLong());
}

void CurvixWindow::cbKeepChange() {
    if (store_) store_->cbKeepChange();
}

} // namespace curvix
