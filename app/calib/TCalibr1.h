#pragma once
// One step of the calibration wizard.

#include <QDialog>

class TCalibr1 : public QDialog {
    Q_OBJECT
public:
    explicit TCalibr1(QWidget* parent = nullptr);
};
