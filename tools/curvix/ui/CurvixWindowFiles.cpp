#include "ui/CurvixWindow.h"

#include "core/Csv.h"
#include "core/ValueLog.h"
#include "link/Ui.h"

#include <qcustomplot.h>

#include <QFile>
#include <QFileInfo>

#include <limits>

namespace curvix {

bool CurvixWindow::loadLog(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qmt::showMessage(QStringLiteral("Не удаётся открыть файл ") + path,
                         QStringLiteral("CURVIX"), qmt::MsgIcon::Error, this);
        return false;
    }
    const ValueLog log = parseValueLog(file.readAll());
    if (!log.error.isEmpty()) {
        qmt::showMessage(path + QStringLiteral(":\n") + log.error, QStringLiteral("CURVIX"),
                         qmt::MsgIcon::Error, this);
        return false;
    }
    loadValueLog(log, data_);
    data_.counters().skippedLines = log.skipped;
    data_.counters().firstSkippedLine = log.firstSkipped;
    logPath_ = path;
    dump(QStringLiteral("log %1 channels, %2 lines, %3 skipped")
             .arg(log.names.size())
             .arg(log.timesMs.size())
             .arg(log.skipped));
    sourceState_ = QFileInfo(path).fileName();
    setWindowTitle(QStringLiteral("CURVIX — ") + QFileInfo(path).fileName());
    haveView_ = false;
    refresh();
    return true;
}

bool CurvixWindow::exportCsv(const QString& path, bool visibleOnly) {
    int64_t t0 = std::numeric_limits<int64_t>::min(), t1 = std::numeric_limits<int64_t>::max();
    if (visibleOnly) visibleRange(t0, t1);
    QFile file(path);
    const bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                    writeCsv(data_, t0, t1, file) && file.flush();
    if (!ok) {
        file.close();
        qmt::showMessage(QStringLiteral("Ошибка записи в файл ") + path, QStringLiteral("CURVIX"),
                         qmt::MsgIcon::Error, this);
    }
    return ok;
}

bool CurvixWindow::savePng(const QString& path) {
    const bool ok = plot_->savePng(path, plot_->width(), plot_->height());
    if (!ok)
        qmt::showMessage(QStringLiteral("Ошибка записи в файл ") + path, QStringLiteral("CURVIX"),
                         qmt::MsgIcon::Error, this);
    return ok;
}

void CurvixWindow::miOpenLogClick() {
    qmt::FileDialogRequest request;
    request.owner = this;
    request.caption = QStringLiteral("Открыть журнал значений");
    request.filter = QStringLiteral("Log-файлы (*.log);;Все файлы (*)");
    const QString path = qmt::prompts().openFileName(request);
    if (path.isEmpty()) return;
    // A log opens beside the live curves, never over them.
    auto* window = new CurvixWindow(TimeBase::Elapsed);
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (!window->loadLog(path)) {
        delete window;
        return;
    }
    window->show();
}

void CurvixWindow::miExportAllClick() {
    qmt::FileDialogRequest request;
    request.owner = this;
    request.caption = QStringLiteral("Экспорт в CSV");
    request.filter = QStringLiteral("CSV (*.csv);;Все файлы (*)");
    request.defaultSuffix = QStringLiteral("csv");
    const QString path = qmt::prompts().saveFileName(request);
    if (!path.isEmpty()) exportCsv(path, false);
}

void CurvixWindow::miExportVisibleClick() {
    qmt::FileDialogRequest request;
    request.owner = this;
    request.caption = QStringLiteral("Экспорт видимого диапазона в CSV");
    request.filter = QStringLiteral("CSV (*.csv);;Все файлы (*)");
    request.defaultSuffix = QStringLiteral("csv");
    const QString path = qmt::prompts().saveFileName(request);
    if (!path.isEmpty()) exportCsv(path, true);
}

void CurvixWindow::miSavePngClick() {
    qmt::FileDialogRequest request;
    request.owner = this;
    request.caption = QStringLiteral("Сохранить вид в PNG");
    request.filter = QStringLiteral("PNG (*.png);;Все файлы (*)");
    request.defaultSuffix = QStringLiteral("png");
    const QString path = qmt::prompts().saveFileName(request);
    if (!path.isEmpty()) savePng(path);
}

} // namespace curvix
