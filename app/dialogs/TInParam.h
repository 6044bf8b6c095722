#pragma once
// Parameters of one analog input: integration time and current or voltage mode.

#include <QDialog>

#include <cstdint>

class QLineEdit;
class QPushButton;

namespace qmt {
class RadioGroup;
}

class TInParam : public QDialog {
    Q_OBJECT
public:
    explicit TInParam(QWidget* parent = nullptr);

    // Input channel index (0..2), set by the main window before LoadFromConfig.
    int Tag = 0;
    // Fills the fields from the configuration model before each showing.
    void LoadFromConfig();

    // Handlers.
    void btSendClick();
    void btReadClick();

private:
    void showMode(uint16_t mode);

    QLineEdit* edTime;
    qmt::RadioGroup* rgMode;
    QPushButton* btSend;
    QPushButton* btRead;
};
