#pragma once
// The viewer's window: the curves of one dataset (live from the program, or a
// value log), the legend with the cursor values, the follow controls, export.

#include "core/Dataset.h"
#include "core/View.h"

#include <QImage>
#include <QMainWindow>
#include <QSize>

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class QCustomPlot;
class QCPGraph;
class QCPItemStraightLine;
class QCPItemText;
class QCPItemRect;
class QCloseEvent;
class QComboBox;
class QFile;
class QLineEdit;
class QProgressBar;
class QSplitter;
class QLabel;
class QMouseEvent;
class QPushButton;
class QTimer;
class QToolBar;
class QWheelEvent;

namespace qmt {
class CheckBox;
}

namespace curvix {

class ChannelPanel;
struct FileLoad;
class LiveSource;

class CurvixWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit CurvixWindow(TimeBase base = TimeBase::LocalTime, QWidget* parent = nullptr);
    ~CurvixWindow() override;

    // Live mode: reads the program's messages from inFd, answers on outFd.
    void attach(int inFd, int outFd);
    // Replaces the contents with a value log or a CSV; false (with a message)
    // when the file cannot be read or has no header.
    bool loadLog(const QString& path);
    // The same on a worker thread, the window answering meanwhile: the status
    // bar shows the progress and "Отмена" stops it, leaving the
    // window as it was. openFinished tells the end (false: failed or cancelled).
    void openLog(const QString& path);
    bool opening() const;
    // An open's worker thread still running (after a cancel, until it stops).
    bool workerRunning() const { return opening_ != nullptr; }
    void cancelOpen();

    // Takes decoded records as the reader queues them (tests feed them directly).
    void applyRecords(const std::vector<Record>& records);

    Dataset& dataset() { return data_; }
    // Shown for a few seconds in the status bar after an export.
    QString savedMessage() const;
    QCustomPlot* plot() const { return plot_; }

    // The view: follow the newest samples over spanMs (0: the whole run).
    void setSpan(int64_t spanMs);
    void setFollowing(bool on);
    bool following() const { return following_; }
    bool autoY() const;
    void showFullView();
    // Visible time range in milliseconds.
    void visibleRange(int64_t& t0, int64_t& t1) const;
    void setVisibleRange(int64_t t0, int64_t t1);
    // Cursor 1 or 2 at time t (milliseconds); clearCursors removes both.
    void setCursorAt(int which, int64_t t);
    void clearCursors();

    // Brings the plot up to date now (the timer does it otherwise).
    void refresh();
    // Redraws the plot synchronously (benchmark).
    void replotNow();

    // The view's history: every zoom, pan and "Весь вид" can be taken back.
    void zoomTime(double factor);
    void panTime(double fraction);
    void panValues(double fraction);
    // Zooms to the pixel rectangle (plot widget coordinates), as the box drag does.
    void zoomToBox(const QRect& box);
    bool viewBack();
    int viewHistorySize() const { return int(history_.size()); }

    // Asks for a curve's colour (kept by its name); false when cancelled.
    bool chooseColor(int32_t id);

    // The horizontal marker at a value of the left (or right) axis.
    void setMarker(double value, bool rightAxis = false);
    void clearMarker();
    bool markerShown() const { return markerOn_; }

    bool exportCsv(const QString& path, bool visibleOnly);
    // The view with its legend under a title line of the date and time range.
    bool savePng(const QString& path);
    bool saveSvg(const QString& path);
    bool savePdf(const QString& path);
    QImage viewImage();
    QString titleLine() const;

    // Handlers of the menu commands and buttons.
    void miOpenLogClick();
    void miExportAllClick();
    void miExportVisibleClick();
    void miSavePngClick();
    void miSaveSvgClick();
    void miSavePdfClick();
    void miCopyClick();
    void miBackClick();
    void miOpenCsvClick();
    void miZoomInClick() { zoomTime(0.5); }
    void miZoomOutClick() { zoomTime(2.0); }
    void miPanLeftClick() { panTime(-0.25); }
    void miPanRightClick() { panTime(0.25); }
    void miPanUpClick() { panValues(0.1); }
    void miPanDownClick() { panValues(-0.1); }
    void btFollowClick();
    void btFullViewClick();
    void btClearCursorsClick();
    void chbAutoYClick();
    void cbSpanChange();
    void edMarkerYEnter();
    void cbKeepChange();
    void btClearClick();
    // The live store's bound (0: everything); "Хранить".
    void setRetention(int64_t keepMs);
    QString memoryText() const;
    void btClearMarkerClick();

    QString statusText() const;

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
    struct ViewState {
        double x0, x1, y0, y1, r0, r1;
        bool following, autoY;
        int64_t spanMs;
    };

    struct Opening;
    void buildUi();
    void buildOpenProgress();
    void showOpenProgress(int percent);
    void showOpenControls(bool on);
    void openDone(const std::shared_ptr<Opening>& job);
    void stopOpening();
    void showLoaded(const QString& path, const FileLoad& load);
    void saved(const QString& path);
    void buildMenus();
    void buildPlot(QSplitter* splitter);
    void applyTimeAxis();
    void fitPanel();
    void buildStoreControls(QToolBar* tools);
    void openFileWindow(const QString& caption, const QString& filter);
    void pushView();
    void pushView(const ViewState& view);
    ViewState currentView() const;
    void updateCursorLabels();
    void updateMarker();
    void updateMeasurements();
    std::vector<int32_t> shownIds() const;
    bool cursorRange(int64_t& t0, int64_t& t1) const;
    // The measurements between the cursors as the CSV export's comment lines.
    QStringList measurementLines() const;
    bool samplesArriving() const;
    void endSource();
    void valueChosen(int32_t id, int which);
    void updateLegend();
    bool renderTo(const QString& path, const char* kind);
    void loadSettings();
    void saveSettings() const;
    void restoreChannel(Channel& channel);
    void saveChannel(const Channel& channel) const;
    QString settingsGroup() const;
    QColor channelColor(const Channel& channel) const;
    void takeFromSource();
    void sourceEnded(const QString& reason);
    void scheduleRefresh();
    Curve& curveFor(Channel& channel);
    void updateCursorPanel();
    void updateStatus();
    void updateStartMarks();
    void autoscaleY();
    void userRangeChange(bool horizontal, bool vertical);
    void plotMousePress(QMouseEvent* event);
    void plotMouseMove(QMouseEvent* event);
    void plotMouseRelease(QMouseEvent* event);
    void plotWheel(QWheelEvent* event);
    QString timeText(int64_t ms) const;
    void dump(const QString& line);
    void dumpRecord(const Record& r);

    Dataset data_;
    bool live_; // fed by the program (else: a file, which does not grow)
    LiveSource* source_ = nullptr;
    bool sourceGone_ = false;
    // A sample within this long counts as samples still arriving.
    static constexpr int64_t kArrivingMs = 5000;
    int64_t lastSampleMs_ = 0;
    QString logPath_;

    QCustomPlot* plot_ = nullptr;
    ChannelPanel* panel_ = nullptr;
    QComboBox* cbSpan_ = nullptr;
    QPushButton* btFollow_ = nullptr;
    QPushButton* btFullView_ = nullptr;
    QPushButton* btClearCursors_ = nullptr;
    qmt::CheckBox* chbAutoY_ = nullptr;
    QLabel* lbSource_ = nullptr;
    QLabel* lbCounts_ = nullptr;
    QLabel* lbProblems_ = nullptr;
    QPushButton* btBack_ = nullptr;
    QComboBox* cbKeep_ = nullptr;
    QLabel* lbMemory_ = nullptr;
    QPushButton* btClear_ = nullptr;
    QLineEdit* edMarkerY_ = nullptr;
    QSplitter* splitter_ = nullptr;
    QTimer* tmRefresh_ = nullptr;
    QProgressBar* pbOpen_ = nullptr;
    QPushButton* btCancelOpen_ = nullptr;
    std::shared_ptr<Opening> opening_; // the open in progress, if any

    std::vector<Curve> curves_;
    std::vector<QCPItemStraightLine*> startLines_;
    QCPItemStraightLine* cursorLine_[2] = {nullptr, nullptr};
    QCPItemText* cursorLabel_[2] = {nullptr, nullptr};
    bool cursorSet_[2] = {false, false};
    int64_t cursorTime_[2] = {0, 0};
    QCPItemStraightLine* markerLine_ = nullptr;
    QCPItemText* markerLabel_ = nullptr;
    bool markerOn_ = false;
    bool markerRight_ = false;
    double markerValue_ = 0;
    QCPItemRect* box_ = nullptr;

    std::map<int32_t, QColor> colors_; // kept from an earlier run, by name
    std::vector<ViewState> history_;
    ViewState pressView_{};
    int64_t lastWheelMs_ = 0;

    bool following_ = true;
    int64_t spanMs_ = 10 * 60 * 1000;
    bool inRefresh_ = false;
    QSize laidOut_; // the plot's size at its last layout
    bool haveView_ = false;
    QString sourceState_;
    ViewPoints points_;

    // Press position, to tell a click (cursor) from a drag (pan or box zoom).
    QPoint pressPos_;
    Qt::MouseButton pressButton_ = Qt::NoButton;
    bool dragging_ = false;
    bool boxing_ = false;

    std::unique_ptr<QFile> dump_;
};

} // namespace curvix
