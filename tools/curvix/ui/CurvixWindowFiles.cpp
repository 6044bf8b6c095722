#include "ui/CurvixWindow.h"

#include "common/Ui.h"
#include "core/Csv.h"
#include "core/CsvRead.h"

#include <qcustomplot.h>

#include <QClipboard>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStatusBar>
#include <QSvgGenerator>

#include <climits>
#include <limits>

namespace curvix {

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
    logPath_ = path;
    dump(QStringLiteral("%1 %2 channels, %3 lines, %4 skipped")
             .arg(load.csv ? QStringLiteral("csv") : QStringLiteral("log"))
             .arg(load.channels)
             .arg(load.rows)
             .arg(load.skipped));
    sourceState_ = QFileInfo(path).fileName();
    setWindowTitle(QStringLiteral("CURVIX — ") + QFileInfo(path).fileName());
    applyTimeAxis();
    haveView_ = false;
    refresh();
}

void CurvixWindow::saved(const QString& path) {
    // A confirmation, not a box: it goes by itself.
    statusBar()->showMessage(QStringLiteral("Сохранено: ") + QFileInfo(path).fileName(), 5000);
}

QString CurvixWindow::savedMessage() const {
    return statusBar()->currentMessage();
}

bool CurvixWindow::exportCsv(const QString& path, bool visibleOnly) {
    int64_t t0 = std::numeric_limits<int64_t>::min(), t1 = std::numeric_limits<int64_t>::max();
    CsvOptions options;
    if (visibleOnly) {
        // What is seen: the shown channels, and what was measured on them.
        visibleRange(t0, t1);
        options.ids = shownIds();
        options.comments = measurementLines();
        if (options.ids.empty()) options.ids.push_back(INT32_MIN); // none, not all
    }
    QFile file(path);
    const bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                    writeCsv(data_, t0, t1, file, options) && file.flush();
    if (!ok) {
        file.close();
        qmt::showMessage(QStringLiteral("Ошибка записи в файл ") + path, QStringLiteral("CURVIX"),
                         qmt::MsgIcon::Error, this);
    } else {
        saved(path);
    }
    return ok;
}

namespace {

// The title line above the plot while a picture of it is made.
class TitleRow {
public:
    TitleRow(QCustomPlot* plot, const QString& text) : plot_(plot) {
        plot_->plotLayout()->insertRow(0);
        title_ = new QCPTextElement(plot_, text, QFont(plot_->font().family(), 10, QFont::Bold));
        plot_->plotLayout()->addElement(0, 0, title_);
    }
    ~TitleRow() {
        plot_->plotLayout()->remove(title_);
        plot_->plotLayout()->simplify();
        plot_->replot(QCustomPlot::rpQueuedReplot);
    }

private:
    QCustomPlot* plot_;
    QCPTextElement* title_;
};

} // namespace

QString CurvixWindow::titleLine() const {
    int64_t t0, t1;
    visibleRange(t0, t1);
    if (data_.timeBase() == TimeBase::LocalTime) {
        const QDateTime a = QDateTime::fromMSecsSinceEpoch(t0),
                        b = QDateTime::fromMSecsSinceEpoch(t1);
        const QString day = QStringLiteral("dd.MM.yyyy"), time = QStringLiteral("hh:mm:ss");
        if (a.date() == b.date())
            return a.toString(day) + QLatin1Char(' ') + a.toString(time) + QStringLiteral(" — ") +
                   b.toString(time);
        return a.toString(day + QLatin1Char(' ') + time) + QStringLiteral(" — ") +
               b.toString(day + QLatin1Char(' ') + time);
    }
    // A log knows no clock time: its file's date and the seconds from its start.
    const QFileInfo info(logPath_);
    return info.fileName() + QStringLiteral(", ") +
           info.lastModified().toString(QStringLiteral("dd.MM.yyyy")) + QStringLiteral(": ") +
           csvTime(TimeBase::Elapsed, t0) + QStringLiteral(" — ") + csvTime(TimeBase::Elapsed, t1) +
           QStringLiteral(" с");
}

bool CurvixWindow::renderTo(const QString& path, const char* kind) {
    const int w = plot_->width(), h = plot_->height();
    bool ok = false;
    {
        TitleRow title(plot_, titleLine());
        const QByteArray k(kind);
        if (k == "png") {
            ok = plot_->savePng(path, w, h);
        } else if (k == "pdf") {
            ok = plot_->savePdf(path, w, h, QCP::epAllowCosmetic, QStringLiteral("curvix"),
                                titleLine());
        } else {
            QSvgGenerator svg;
            svg.setFileName(path);
            svg.setSize(QSize(w, h));
            svg.setViewBox(QRect(0, 0, w, h));
            svg.setTitle(titleLine());
            QCPPainter painter;
            ok = painter.begin(&svg);
            if (ok) {
                plot_->toPainter(&painter, w, h);
                ok = painter.end();
            }
            ok = ok && QFileInfo(path).size() > 0;
        }
    }
    if (!ok)
        qmt::showMessage(QStringLiteral("Ошибка записи в файл ") + path, QStringLiteral("CURVIX"),
                         qmt::MsgIcon::Error, this);
    else
        saved(path);
    return ok;
}

bool CurvixWindow::savePng(const QString& path) {
    return renderTo(path, "png");
}

bool CurvixWindow::saveSvg(const QString& path) {
    return renderTo(path, "svg");
}

bool CurvixWindow::savePdf(const QString& path) {
    return renderTo(path, "pdf");
}

QImage CurvixWindow::viewImage() {
    TitleRow title(plot_, titleLine());
    return plot_->toPixmap(plot_->width(), plot_->height()).toImage();
}

void CurvixWindow::miCopyClick() {
    QGuiApplication::clipboard()->setImage(viewImage());
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

namespace {

QString askSavePath(QWidget* owner, const QString& caption, const QString& filter,
                    const QString& suffix) {
    qmt::FileDialogRequest request;
    request.owner = owner;
    request.caption = caption;
    request.filter = filter + QStringLiteral(";;Все файлы (*)");
    request.defaultSuffix = suffix;
    return qmt::prompts().saveFileName(request);
}

} // namespace

void CurvixWindow::miSavePngClick() {
    const QString path = askSavePath(this, QStringLiteral("Сохранить вид в PNG"),
                                     QStringLiteral("PNG (*.png)"), QStringLiteral("png"));
    if (!path.isEmpty()) savePng(path);
}

void CurvixWindow::miSaveSvgClick() {
    const QString path = askSavePath(this, QStringLiteral("Сохранить вид в SVG"),
                                     QStringLiteral("SVG (*.svg)"), QStringLiteral("svg"));
    if (!path.isEmpty()) saveSvg(path);
}

void CurvixWindow::miSavePdfClick() {
    const QString path = askSavePath(this, QStringLiteral("Сохранить вид в PDF"),
                                     QStringLiteral("PDF (*.pdf)"), QStringLiteral("pdf"));
    if (!path.isEmpty()) savePdf(path);
}

} // namespace curvix
