#pragma once
// Parameters of one PID regulator.

#include <QDialog>

class TPidParam : public QDialog {
    Q_OBJECT
public:
    explicit TPidParam(QWidget* parent = nullptr);

    // Index of the item the dialog edits, set by the main window before LoadFromConfig.
    int Tag = 0;
    // Fills the fields from the configuration model before each showing.
    void LoadFromConfig() {}
};
