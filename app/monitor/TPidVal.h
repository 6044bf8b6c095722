#pragma once
// Live values of the module.

#include <QDialog>

class TPidVal : public QDialog {
    Q_OBJECT
public:
    explicit TPidVal(QWidget* parent = nullptr);
};
