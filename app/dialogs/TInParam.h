#pragma once
// Parameters of one analog input: integration time and current or voltage mode.

#include "dialogs/ModelDialog.h"

#include <cstdint>

class QLineEdit;
class QPushButton;

namespace qmt {
class RadioGroup;
}

// Tag: the input channel.
class TInParam : public qmt::ItemDialog {
    Q_OBJECT
public:
    explicit TInParam(QWidget* parent = nullptr);

    void LoadFromConfig() override;

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
