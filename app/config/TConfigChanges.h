#pragma once
// "Записать изменения": the registers in which the module differs from the
// window's configuration, each with its name, the module's value and the new
// one, shown before anything is written. "Записать" accepts the list.

#include "config/ConfigTransfer.h"

#include <QDialog>

#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;

class TConfigChanges : public QDialog {
    Q_OBJECT
public:
    explicit TConfigChanges(QWidget* parent = nullptr);
    void setChanges(const std::vector<qmt::ConfigDifference>& changes);

private:
    QLabel* lbChanges;
    QTreeWidget* lvChanges;
    QPushButton* btWrite;
    QPushButton* btCancel;
};
