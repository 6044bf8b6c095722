#pragma once
// "Монитор обмена": every request and reply on the line with its time, the
// bytes in hex and what they say, for the last MaxFrames frames. Modeless, so
// it stays open beside the windows that talk to the module; it listens only
// while shown.

#include "link/Traffic.h"

#include <QAbstractTableModel>
#include <QDialog>

#include <deque>

class QCheckBox;
class QLabel;
class QPushButton;
class QTableView;

namespace qmt {

// The frames kept, oldest first, as the table shows them.
class TrafficModel : public QAbstractTableModel {
public:
    static constexpr int MaxFrames = 10000;
    using QAbstractTableModel::QAbstractTableModel;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void add(const TrafficFrame& frame);
    void clear();
    const std::deque<TrafficFrame>& frames() const { return frames_; }

private:
    std::deque<TrafficFrame> frames_;
};

} // namespace qmt

class TTrafficMonitor : public QDialog {
    Q_OBJECT
public:
    explicit TTrafficMonitor(QWidget* parent = nullptr);
    ~TTrafficMonitor() override;

    // Handlers.
    void btClearClick();
    void btSaveClick();

    const qmt::TrafficModel& model() const { return *frames_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void take(const qmt::TrafficFrame& frame);

    qmt::TrafficModel* frames_;
    QTableView* sgFrames;
    QCheckBox* chbPause;
    QLabel* lbCount;
    QPushButton* btClear;
    QPushButton* btSave;
    QPushButton* btClose;
    int listener_ = 0;
};
