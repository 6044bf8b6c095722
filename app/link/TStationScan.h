#pragma once
// "Поиск станций": every address of a range asked once at the line's present
// settings, and the stations that answer listed with their type, serial
// number and firmware. One address per step of the event loop, so "Стоп" is
// heard between two requests; the status bar shows the progress.

#include <QDialog>

#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTimer;
class QTreeWidget;

namespace qmt {
class ProgressNote;
}

class TStationScan : public QDialog {
    Q_OBJECT
public:
    explicit TStationScan(QWidget* parent = nullptr);
    ~TStationScan() override;

    // Handlers.
    void btStartClick();
    void btStopClick();
    void tmScanTimer();

    bool running() const;

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void finish();

    QSpinBox* edFrom;
    QSpinBox* edTo;
    QPushButton* btStart;
    QPushButton* btStop;
    QPushButton* btClose;
    QProgressBar* pbScan;
    QLabel* lbScan;
    QTreeWidget* lvStations;
    QTimer* tmScan;
    int next_ = 0;
    int last_ = 0;
    int found_ = 0;
    std::unique_ptr<qmt::ProgressNote> note_;
};
