// Exports of the data and pictures of the view, and the word that says each
// was saved.
#include "ui/ViewExport.h"

#include "common/Ui.h"
#include "core/Csv.h"
#include "core/Dataset.h"
#include "ui/CursorTools.h"
#include "ui/WindowCommon.h"

#include <qcustomplot.h>

#include <QClipboard>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QStatusBar>
#include <QSvgGenerator>

#include <climits>
#include <limits>

namespace curvix {

ViewExport::ViewExport(QCustomPlot* plot, const Dataset& data, const CursorTools& cursors,
                       QStatusBar* status, QWidget* owner)
    : plot_(plot), data_(data), cursors_(cursors), status_(status), owner_(owner) {}

namespace {

void visibleRange(const QCustomPlot* plot, int64_t& t0, int64_t& t1) {
    t0 = toMs(plot->xAxis->range().lower);
    t1 = toMs(plot->xAxis->range().upper);
}

} // namespace

void ViewExport::saved(const QString& path) {
    // A confirmation, not a box: it goes by itself.
    status_->showMessage(QStringLiteral("Сохранено: ") + QFileInfo(path).fileName(), 5000);
}

QString ViewExport::savedMessage() const {
    return status_->currentMessage();
}

bool ViewExport::exportCsv(const QString& path, bool visibleOnly) {
    int64_t t0 = std::numeric_limits<int64_t>::min(), t1 = std::numeric_limits<int64_t>::max();
    CsvOptions options;
    if (visibleOnly) {
        // What is seen: the shown channels, and what was measured on them.
        visibleRange(plot_, t0, t1);
        options.ids = cursors_.shownIds();
        options.comments = cursors_.measurementLines();
        if (options.ids.empty()) options.ids.push_back(INT32_MIN); // none, not all
    }
    QFile file(path);
    const bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                    writeCsv(data_, t0, t1, file, options) && file.flush();
    if (!ok) {
        file.close();
        qmt::showMessage(QStringLiteral("Ошибка записи в файл ") + path, QStringLiteral("CURVIX"),
                         qmt::MsgIcon::Error, owner_);
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

// The generator states the size in millimetres at its resolution; the view
// is drawn in pixels, and that is the size a viewer should show it at.
bool declarePixelSize(const QString& path, int w, int h) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    QString svg = QString::fromUtf8(file.readAll());
    file.close();
    static const QRegularExpression root(QStringLiteral("<svg\\b[^>]*>"));
    static const QRegularExpression width(QStringLiteral("\\swidth=\"[^\"]*\""));
    static const QRegularExpression height(QStringLiteral("\\sheight=\"[^\"]*\""));
    const QRegularExpressionMatch m = root.match(svg);
    if (!m.hasMatch()) return false;
    QString tag = m.captured();
    tag.replace(width, QStringLiteral(" width=\"%1px\"").arg(w));
    tag.replace(height, QStringLiteral(" height=\"%1px\"").arg(h));
    svg.replace(m.capturedStart(), m.capturedLength(), tag);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(svg.toUtf8()) > 0 &&
           file.flush();
}

} // namespace

QString ViewExport::titleLine() const {
    int64_t t0, t1;
    visibleRange(plot_, t0, t1);
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

bool ViewExport::renderTo(const QString& path, const char* kind) {
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
            ok = ok && QFileInfo(path).size() > 0 && declarePixelSize(path, w, h);
        }
    }
    if (!ok)
        qmt::showMessage(QStringLiteral("Ошибка записи в файл ") + path, QStringLiteral("CURVIX"),
                         qmt::MsgIcon::Error, owner_);
    else
        saved(path);
    return ok;
}

bool ViewExport::savePng(const QString& path) {
    return renderTo(path, "png");
}

bool ViewExport::saveSvg(const QString& path) {
    return renderTo(path, "svg");
}

bool ViewExport::savePdf(const QString& path) {
    return renderTo(path, "pdf");
}

QImage ViewExport::viewImage() {
    TitleRow title(plot_, titleLine());
    return plot_->toPixmap(plot_->width(), plot_->height()).toImage();
}

void ViewExport::miCopyClick() {
    QGuiApplication::clipboard()->setImage(viewImage());
}

void ViewExport::askAndExportCsv(const QString& caption, bool visibleOnly) {
    qmt::FileDialogRequest request;
    request.owner = owner_;
    request.caption = caption;
    request.filter = QStringLiteral("CSV (*.csv);;Все файлы (*)");
    request.defaultSuffix = QStringLiteral("csv");
    const QString path = qmt::prompts().saveFileName(request);
    if (!path.isEmpty()) exportCsv(path, visibleOnly);
}

void ViewExport::miExportAllClick() {
    askAndExportCsv(QStringLiteral("Экспорт в CSV"), false);
}

void ViewExport::miExportVisibleClick() {
    askAndExportCsv(QStringLiteral("Экспорт видимого диапазона в CSV"), true);
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

void ViewExport::miSavePngClick() {
    const QString path = askSavePath(owner_, QStringLiteral("Сохранить вид в PNG"),
                                     QStringLiteral("PNG (*.png)"), QStringLiteral("png"));
    if (!path.isEmpty()) savePng(path);
}

void ViewExport::miSaveSvgClick() {
    const QString path = askSavePath(owner_, QStringLiteral("Сохранить вид в SVG"),
                                     QStringLiteral("SVG (*.svg)"), QStringLiteral("svg"));
    if (!path.isEmpty()) saveSvg(path);
}

void ViewExport::miSavePdfClick() {
    const QString path = askSavePath(owner_, QStringLiteral("Сохранить вид в PDF"),
                                     QStringLiteral("PDF (*.pdf)"), QStringLiteral("pdf"));
    if (!path.isEmpty()) savePdf(path);
}

} // namespace curvix
