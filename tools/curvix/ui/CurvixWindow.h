#pragma once
// The viewer's window: the curves of one dataset (live from the program, or a
// value log), the legend with the cursor values, the follow controls, export.

#include "core/Dataset.h"
#include "core/View.h"

#include <QMainWindow>

#include <cstdint>
#include <memory>
#include <vector>

class QCustomPlot;
class QCPGraph;
class QCPItemStraightLine;
class QCPItemText;
class QComboBox;
class QFile;
class QLabel;
class QMouseEvent;
class QPushButton;
class QTimer;
class QWheelEvent;

namespace qmt {
class CheckBox;
}

namespace curvix {

class ChannelPanel;
class LiveSource;

class CurvixWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit CurvixWindow(TimeBase base = TimeBase::LocalTime, QWidget* parent = nullptr);
    ~CurvixWindow() override;

    // Live mode: reads the program's messages from inFd, answers on outFd.
    void attach(int inFd, int outFd);
    // Replaces the contents with a value log; false (with a message) when the
    // file cannot be read or has no header.
    bool loadLog(const QString& path);

    // Takes decoded records as the reader queues them (tests feed them directly).
    void applyRecords(const std::vector<Record>& records);

    Dataset& dataset() { return data_; }
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

    bool exportCsv(const QString& path, bool visibleOnly);
    bool savePng(const QString& path);

    // Handlers of the menu commands and buttons.
    void miOpenLogClick();
    void miExportAllClick();
    void miExportVisibleClick();
    void miSavePngClick();
    void btFollowClick();
    void btFullViewClick();
    void btClearCursorsClick();
    void chbAutoYClick();
    void cbSpanChange();

    QString statusText() const;

private:
    struct Curve {
        int32_t id;
        QCPGraph* graph;
    };

    void buildUi();
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
    LiveSource* source_ = nullptr;
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
    QTimer* tmRefresh_ = nullptr;

    std::vector<Curve> curves_;
    std::vector<QCPItemStraightLine*> startLines_;
    QCPItemStraightLine* cursorLine_[2] = {nullptr, nullptr};
    QCPItemText* cursorLabel_[2] = {nullptr, nullptr};
    bool cursorSet_[2] = {false, false};
    int64_t cursorTime_[2] = {0, 0};

    bool following_ = true;
    int64_t spanMs_ = 10 * 60 * 1000;
    bool inRefresh_ = false;
    bool haveView_ = false;
    QString sourceState_;
    ViewPoints points_;

    // Press position, to tell a click (cursor) from a drag (pan).
    QPoint pressPos_;
    Qt::MouseButton pressButton_ = Qt::NoButton;
    bool dragging_ = false;

    std::unique_ptr<QFile> dump_;
};

} // namespace curvix
