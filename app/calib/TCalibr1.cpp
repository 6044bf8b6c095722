#include "calib/TCalibr1.h"

TCalibr1::TCalibr1(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Calibr1"));
}
