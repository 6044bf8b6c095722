#pragma once
// Main window: routing diagram, menu, status bar, link supervision.

#include <QMainWindow>

class TPidConf : public QMainWindow {
    Q_OBJECT
public:
    explicit TPidConf(QWidget* parent = nullptr);
};
