#pragma once
// Parameters of one PID regulator: the thirteen registers after its set-point
// switch, read from and written to the module and kept in the configuration model.

#include "dialogs/ModelDialog.h"

#include <array>
#include <cstdint>

class QLineEdit;
class QPushButton;

namespace qmt {
class CheckBox;
class RadioGroup;
} // namespace qmt

// Tag: the regulator.
class TPidParam : public qmt::ItemDialog {
    Q_OBJECT
public:
    explicit TPidParam(QWidget* parent = nullptr);

    // From the regulator's block of the configuration model.
    void LoadFromConfig() override;

    // Handlers.
    void btSendClick();
    void btReadClick();
    void ed7Exit();
    // Enter in one of the fields ed1..ed11 writes; the key goes on to the field.
    void edKeyPress(QChar key);

    // Register offsets 0..12 from the regulator's first parameter register.
    static constexpr int ParamCount = 13;
    static constexpr int ControlOffset = 9;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Shows register values of offsets first .. first + count - 1.
    void showValues(int first, int count, const uint16_t* values);
    uint16_t controlWord() const;

    // The edit field of each offset; none for the control register.
    std::array<QLineEdit*, ParamCount> fields_{};
    qmt::RadioGroup* rgType = nullptr;
    qmt::CheckBox* chbXfo = nullptr;
    qmt::CheckBox* chbMz = nullptr;
    QPushButton* btRead = nullptr;
    QPushButton* btSend = nullptr;
    QPushButton* btCancel = nullptr;
};
