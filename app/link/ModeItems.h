#pragma once
// Which radio item stands for which register value. A dialog or window shows a
// mode word as the item of its qmt::RadioGroup and writes the item's value
// back; each group's table is here once, so the two directions cannot drift
// apart and no window keeps its own copy of a code.

#include "link/RegisterMap.h"

#include <cstdint>
#include <initializer_list>
#include <optional>

namespace qmt {

class ModeItems {
public:
    static constexpr int MaxItems = 6;

    // values: the value of each item, in item order. mask: the bits of the word
    // the group stands for (a flag group looks at its bit alone). other: the item
    // shown for a value that no item has, -1 for none.
    constexpr ModeItems(std::initializer_list<uint16_t> values, uint16_t mask = 0xFFFF,
                        int other = -1)
        : mask_(mask), other_(other) {
        for (uint16_t v : values)
            if (count_ < MaxItems) values_[count_++] = v;
    }

    constexpr int count() const { return count_; }

    // The item that shows the word.
    constexpr int itemOf(uint16_t word) const {
        const uint16_t bits = word & mask_;
        for (int i = 0; i < count_; ++i)
            if (values_[i] == bits) return i;
        return other_;
    }

    // The value an item stands for; nothing for -1 (no selection) or no item.
    constexpr std::optional<uint16_t> valueOf(int item) const {
        if (item < 0 || item >= count_) return std::nullopt;
        return values_[item];
    }

    // The word with the group's bits set to the item's value and every other bit
    // kept; the word itself when the item stands for nothing.
    constexpr uint16_t merged(uint16_t word, int item) const {
        const std::optional<uint16_t> value = valueOf(item);
        if (!value) return word;
        return static_cast<uint16_t>((word & ~mask_) | *value);
    }

private:
    uint16_t values_[MaxItems] = {};
    int count_ = 0;
    uint16_t mask_;
    int other_;
};

namespace modes {

// Mode of an analog input and of the analog output: "По току", "По напряжению".
inline constexpr ModeItems Signal{reg::ModeCurrent, reg::ModeVoltage};

// Module mode of the main window: "Независимые входы и выход", "ПИД-регулятор".
inline constexpr ModeItems Module{reg::ModuleModeIndependent, reg::ModuleModePid};

// Regulator type in the PID control word: "Прямой", "Реверсивный".
inline constexpr ModeItems PidAction{{0, reg::pid::ReverseAction}, reg::pid::ReverseAction};

// Source of the output switch `swout`: "MB", "ПИД1", "ПИД2", "ПИД3".
inline constexpr ModeItems OutputSource{uint16_t(reg::source::Modbus), uint16_t(reg::source::Pid1),
                                        uint16_t(reg::source::Pid2), uint16_t(reg::source::Pid3)};

// Set-point switch of regulator n (0..2): "MB", the two other regulators, their
// two inputs, "Откл.".
inline constexpr ModeItems Setpoint[3] = {
    {uint16_t(reg::source::Modbus), uint16_t(reg::source::Pid2), uint16_t(reg::source::Pid3),
     uint16_t(reg::source::Fb2), uint16_t(reg::source::Fb3), uint16_t(reg::source::None)},
    {uint16_t(reg::source::Modbus), uint16_t(reg::source::Pid1), uint16_t(reg::source::Pid3),
     uint16_t(reg::source::Fb1), uint16_t(reg::source::Fb3), uint16_t(reg::source::None)},
    {uint16_t(reg::source::Modbus), uint16_t(reg::source::Pid1), uint16_t(reg::source::Pid2),
     uint16_t(reg::source::Fb1), uint16_t(reg::source::Fb2), uint16_t(reg::source::None)}};
inline constexpr int SetpointOff = 5;

// Whether the set-point switch of regulator n offers the source code (as the
// module and a .pid file hold it): never the regulator's own output or input.
constexpr bool SetpointOffered(int n, uint16_t code) {
    return n >= 0 && n < 3 && Setpoint[n].itemOf(code) >= 0;
}

// The bits of the PWM state register: output mode "Нормальный" / "Дискретный",
// and each output "Прямой" / "Инверсный" (or "0" / "1" in the discrete mode).
inline constexpr ModeItems PwmMode{{0, reg::pwmstate::Discrete}, reg::pwmstate::Discrete};
inline constexpr ModeItems PwmOutput1{{0, reg::pwmstate::Output1}, reg::pwmstate::Output1};
inline constexpr ModeItems PwmOutput2{{0, reg::pwmstate::Output2}, reg::pwmstate::Output2};

// Output control, "0" and "1": the command written, and the state read back,
// which is 0 for off and anything else for on.
inline constexpr ModeItems OutputCommand{reg::OutputOff, reg::OutputOn};
inline constexpr ModeItems OutputState{{0, 1}, 0xFFFF, 1};

} // namespace modes
} // namespace qmt
