#pragma once
// Parameters of one analog input.

#include <QDialog>

class TInParam : public QDialog {
    Q_OBJECT
public:
    explicit TInParam(QWidget* parent = nullptr);

    // Index of the item the dialog edits, set by the main window before LoadFromConfig.
    int Tag = 0;
    // Fills the fields from the configuration model before each showing.
    void LoadFromConfig() {}
};
