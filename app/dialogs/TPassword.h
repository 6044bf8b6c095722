#pragma once
// Password gate in front of the service functions.

#include <QDialog>

class TPassword : public QDialog {
    Q_OBJECT
public:
    explicit TPassword(QWidget* parent = nullptr);
};
