#pragma once
// The live store's controls on the toolbar: how long samples are kept
// ("Хранить"), the memory they take, and "Очистить", which drops them all.

#include <QString>

#include <cstdint>
#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QToolBar;

namespace curvix {

class Dataset;
class TraceLog;

class StoreControls {
public:
    // refresh: the view drawn again; cleared: every sample was dropped.
    StoreControls(QToolBar* tools, Dataset& data, TraceLog& trace, std::function<void()> refresh,
                  std::function<void()> cleared);

    // The store's bound (0: everything).
    void setRetention(int64_t keepMs);
    QString memoryText() const;
    void updateMemory();

    void cbKeepChange();
    void btClearClick();

private:
    Dataset& data_;
    TraceLog& trace_;
    std::function<void()> refresh_, cleared_;
    QComboBox* cbKeep_;
    QLabel* lbMemory_;
    QPushButton* btClear_;
};

} // namespace curvix
