#pragma once
// What leaves the window: the data as CSV (all of it, or what is seen with
// the measurements between the cursors), the view as PNG, SVG or PDF under a
// title line of its time range, and the view on the clipboard. Each save
// says "Сохранено: FILE" in the status bar; a failure has its box.

#include <QImage>
#include <QString>

class QCustomPlot;
class QStatusBar;
class QWidget;

namespace curvix {

class CursorTools;
class Dataset;

class ViewExport {
public:
    ViewExport(QCustomPlot* plot, const Dataset& data, const CursorTools& cursors,
               QStatusBar* status, QWidget* owner);

    // The file shown, whose name and date title a picture of a log.
    void setLogPath(const QString& path) { logPath_ = path; }

    bool exportCsv(const QString& path, bool visibleOnly);
    bool savePng(const QString& path);
    bool saveSvg(const QString& path);
    bool savePdf(const QString& path);
    QImage viewImage();
    QString titleLine() const;
    // The status bar's word after the last save, while it shows.
    QString savedMessage() const;

    // The menu commands: each asks for its file.
    void miExportAllClick();
    void miExportVisibleClick();
    void miSavePngClick();
    void miSaveSvgClick();
    void miSavePdfClick();
    void miCopyClick();

private:
    // The save dialog for a CSV export, then the export to the chosen file.
    void askAndExportCsv(const QString& caption, bool visibleOnly);
    bool renderTo(const QString& path, const char* kind);
    void saved(const QString& path);

    QCustomPlot* plot_;
    const Dataset& data_;
    const CursorTools& cursors_;
    QStatusBar* status_;
    QWidget* owner_;
    QString logPath_;
};

} // namespace curvix
