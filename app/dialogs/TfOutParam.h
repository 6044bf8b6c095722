#pragma once
// Parameters of the analog output and the PWM outputs.

#include <QDialog>

class TfOutParam : public QDialog {
    Q_OBJECT
public:
    explicit TfOutParam(QWidget* parent = nullptr);

    // Fills the fields from the configuration model before each showing.
    void LoadFromConfig() {}
};
