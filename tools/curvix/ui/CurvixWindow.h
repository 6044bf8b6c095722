#pragma once
// The viewer's window: the curves of one dataset (live from the program, or a
// value log) beside the legend. It builds the menus, the toolbar and the plot
// and draws the curves; where the view looks, the cursors and measurements,
// the exports, the kept settings, the status bar, the live feed and the
// opening of files each have a room of their own, which the window owns.

#include "core/Dataset.h"
#include "core/View.h"

#include <QMainWindow>
#include <QSize>

#include <cstdint>
#include <memory>
#include <vector>

class QCustomPlot;
class QCPGraph;
class QCPItemStraightLine;
class QCPItemText;
class QCloseEvent;
class QComboBox;
class QPushButton;
class QSplitter;
class QTimer;

namespace qmt {
class CheckBox;
}

namespace curvix {

class ChannelPanel;
class CursorTools;
class FileOpening;
struct FileLoad;
class LiveFeed;
class StatusLine;
class StoreControls;
class TraceLog;
class ViewExport;
class ViewNavigator;
class ViewerSettings;

class CurvixWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit CurvixWindow(TimeBase base = TimeBase::LocalTime, QWidget* parent = nullptr);
    ~CurvixWindow() override;

    // Live mode: reads the program's messages from inFd, answers on outFd.
    void attach(int inFd, int outFd);
    // Takes decoded records as the reader queues them (tests feed them directly).
    void applyRecords(const std::vector<Record>& records);
    // Replaces the contents with a value log or a CSV; false (with a message)
    // when the file cannot be read or has no header.
    bool loadLog(const QString& path);
    // The same on a worker thread, the window answering meanwhile: the status
    // bar shows the progress and "Отмена" (or Esc) stops it, leaving the
    // window as it was. openFinished tells the end (false: failed or cancelled).
    void openLog(const QString& path);
    bool opening() const;
    // An open's worker thread still running (after a cancel, until it stops).
    bool workerRunning() const;
    void cancelOpen();

    Dataset& dataset() { return data_; }
    QCustomPlot* plot() const { return plot_; }
    QString statusText() const;
    // Brings the plot up to date now (the timer does it otherwise).
    void refresh();
    // Redraws the plot synchronously (benchmark).
    void replotNow();

    // The rooms, for what the window's own commands below do not cover.
    ViewNavigator& navigator() { return *nav_; }
    CursorTools& cursors() { return *cursors_; }
    ViewExport& exports() { return *exports_; }
    ViewerSettings& settings() { return *settings_; }

    // The view: follow the newest samples over spanMs (0: the whole run).
    void setSpan(int64_t spanMs);
    bool following() const;
    bool autoY() const;
    void showFullView();
    // Visible time range in milliseconds.
    void visibleRange(int64_t& t0, int64_t& t1) const;
    void setVisibleRange(int64_t t0, int64_t t1);
    // Every zoom, pan and "Весь вид" can be taken back.
    bool viewBack();
    int viewHistorySize() const;
    // Cursor 1 or 2 at time t (milliseconds).
    void setCursorAt(int which, int64_t t);
    bool markerShown() const;
    // The view with its legend under a title line of the date and time range.
    QString titleLine() const;

    // Handlers of the menu commands and buttons.
    void miOpenLogClick();
    void miOpenCsvClick();
    void miExportAllClick();
    void miExportVisibleClick();
    void miSavePngClick();
    void miSaveSvgClick();
    void miSavePdfClick();
    void cbSpanChange();
    void cbKeepChange();

signals:
    void openProgress(int percent);
    void openFinished(bool ok);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Curve {
        int32_t id;
        QCPGraph* graph;
    };

    void buildUi();
    void buildMenus();
    void buildToolBar();
    void buildPlot(QSplitter* splitter);
    void buildPanel(QSplitter* splitter);
    void applyTimeAxis();
    void fitPanel();
    void scheduleRefresh();
    Curve& curveFor(Channel& channel);
    void autoscaleY();
    void updateStartMarks();
    void updateStatus();
    void showLoaded(const QString& path, const FileLoad& load);
    void openFileWindow(const QString& caption, const QString& filter);
    // While a file opens Esc cancels it; otherwise it clears the cursors.
    void giveEscapeToOpen(bool on);
    void loadSettings();
    void saveSettings() const;

    Dataset data_;
    bool live_; // fed by the program (else: a file, which does not grow)
    std::unique_ptr<TraceLog> trace_;

    QCustomPlot* plot_ = nullptr;
    ChannelPanel* panel_ = nullptr;
    QSplitter* splitter_ = nullptr;
    QTimer* tmRefresh_ = nullptr;
    QComboBox* cbSpan_ = nullptr;
    QPushButton* btFollow_ = nullptr;
    QPushButton* btFullView_ = nullptr;
    QPushButton* btBack_ = nullptr;
    QPushButton* btClearCursors_ = nullptr;
    qmt::CheckBox* chbAutoY_ = nullptr;

    std::unique_ptr<ViewerSettings> settings_;
    std::unique_ptr<CursorTools> cursors_;
    std::unique_ptr<ViewNavigator> nav_;
    std::unique_ptr<ViewExport> exports_;
    std::unique_ptr<StatusLine> status_;
    std::unique_ptr<StoreControls> store_; // live window only
    LiveFeed* feed_ = nullptr;
    FileOpening* opener_ = nullptr;

    std::vector<Curve> curves_;
    std::vector<QCPItemStraightLine*> startLines_;
    std::vector<QCPItemText*> startLabels_; // one beside each line
    bool inRefresh_ = false;
    QSize laidOut_; // the plot's size at its last layout
    ViewPoints points_;
};

} // namespace curvix
