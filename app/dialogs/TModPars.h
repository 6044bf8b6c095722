#pragma once
// Service settings of the module.

#include <QDialog>

class TModPars : public QDialog {
    Q_OBJECT
public:
    explicit TModPars(QWidget* parent = nullptr);
};
