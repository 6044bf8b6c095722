#pragma once
// Parameters of the analog output (slew rate, initial value, mode) and of the
// two PWM channels. The two groups have their own buttons and work apart.

#include "dialogs/ModelDialog.h"

#include <array>
#include <cstdint>

class QLabel;
class QLineEdit;
class QPushButton;

namespace qmt {
class RadioGroup;
}

class TfOutParam : public qmt::ModelDialog {
    Q_OBJECT
public:
    explicit TfOutParam(QWidget* parent = nullptr);

    void LoadFromConfig() override;

    // Handlers.
    void btSendDACClick();
    void btReadDACClick();
    void rgModeClick();
    void btWritePWMClick();
    void btReadPWMClick();

    static constexpr int PwmChannels = 2;
    static constexpr int PwmFields = 5;

private:
    void showMode(uint16_t mode);
    void showPwm(int channel, const uint16_t* values);

    QLineEdit* edTime;
    QLineEdit* edBegVal;
    QLabel* lbTime;
    QLabel* lbBegVal;
    qmt::RadioGroup* rgMode;
    QPushButton* btSendDAC;
    QPushButton* btReadDAC;
    // By channel, then register offset.
    std::array<std::array<QLineEdit*, PwmFields>, PwmChannels> pwm_{};
    QPushButton* btWritePWM;
    QPushButton* btReadPWM;
};
