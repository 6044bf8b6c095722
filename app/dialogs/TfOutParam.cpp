#include "dialogs/TfOutParam.h"

#include "common/RadioGroup.h"
#include "common/Ui.h"
#include "config/ModuleConfig.h"
#include "dialogs/DialogForm.h"
#include "dialogs/OfflineWrite.h"
#include "link/Errors.h"
#include "link/ModeItems.h"
#include "link/PortSettings.h"
#include "link/RegisterAccess.h"
#include "link/RegisterMap.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <optional>

namespace {

// The frame and caption of a dialog take 8 x 28 of its outer 624 x 306.
constexpr int ClientWidth = 616;
constexpr int ClientHeight = 278;

struct PwmField {
    const char* name; // objectName without the channel suffix
    const char* label;
    int kind; // ParseRegisterValue kind
};

// By register offset; offset 4 is signed.
const PwmField PwmFieldsTable[TfOutParam::PwmFields] = {
    {"edXdz1_pwm", "Верняя граница нечувствительности около ноля", 1},
    {"edXdz2_pwm", "Нижняя граница нечувствительности около ноля", 1},
    {"edTpwm", "Период (мс)", 1},
    {"Xmax", "Максимальная амплитуда", 1},
    {"edY", "Нечувствительность около амплитуды", 2},
};

qmt::reg::Address pwmRegister(int channel) {
    return channel == 0 ? qmt::reg::Pwm1 : qmt::reg::Pwm2;
}

size_t pwmWord(int channel, int offset) {
    return size_t((channel == 0 ? qmt::io::Pwm1 : qmt::io::Pwm2) + offset);
}

// Microamperes are unsigned. Millivolts are signed, and the words 32768 to
// 65535 are taken as well: the dialog shows a negative value read from the
// module as that image, which must write back unedited.
uint16_t initialValue(const QString& text, bool current) {
    if (current) return qmt::ParseRegisterValue(text, 1);
    return static_cast<uint16_t>(qmt::ParseInteger(text, -32768, 65535) & 0xFFFF);
}

} // namespace

TfOutParam::TfOutParam(QWidget* parent) : qmt::ModelDialog(parent, qmt::form::Closable) {
    using namespace qmt::form;
    setUp(this, "fOutParam", QStringLiteral("Параметры выхода"), {ClientWidth, ClientHeight});

    QGroupBox* dac = group(this, "gbDAC", QStringLiteral("ЦАП"), {6, 2, 246, 274});
    const LabelledEdit time =
        labelledEdit(dac, QStringLiteral("lbTime"), QString(), {8, 22, 178, 22},
                     QStringLiteral("edTime"), {188, 22, 50, 22});
    lbTime = time.label;
    edTime = time.edit;
    const LabelledEdit initial =
        labelledEdit(dac, QStringLiteral("lbBegVal"), QString(), {8, 52, 178, 22},
                     QStringLiteral("edBegVal"), {188, 52, 50, 22});
    lbBegVal = initial.label;
    edBegVal = initial.edit;
    rgMode = radioGroup(dac, "rgMode", QStringLiteral("Режим"), {8, 86, 230, 66},
                        {QStringLiteral("По току"), QStringLiteral("По напряжению")});
    rgMode->setOnClick(qmt::handler(this, &TfOutParam::rgModeClick));
    ButtonRow dacButtons(dac, {12, 242, 100, 24}, {122, 0});
    btSendDAC = dacButtons.add("btSendDAC", QStringLiteral("Записать"));
    btReadDAC = dacButtons.add("btReadDAC", QStringLiteral("Считать"));

    QGroupBox* pwm = group(this, "gbPWM", QStringLiteral("ШИМ"), {258, 2, 354, 274});
    constexpr int Pitch = 19, FieldX = 284, FieldWidth = 48;
    for (int ch = 0; ch < PwmChannels; ++ch) {
        auto* box = new QGroupBox(QStringLiteral("Канал %1").arg(ch + 1), pwm);
        box->setObjectName(QStringLiteral("gbChannel%1").arg(ch + 1));
        box->setGeometry(6, 16 + 116 * ch, 342, 114);
        for (int k = 0; k < PwmFields; ++k) {
            const PwmField& f = PwmFieldsTable[k];
            const QString suffix = QString::number(ch + 1);
            const int y = 17 + Pitch * k;
            pwm_[size_t(ch)][size_t(k)] =
                labelledEdit(box, QStringLiteral("lb") + QLatin1String(f.name) + suffix,
                             QString::fromUtf8(f.label), {8, y, 274, Pitch},
                             QLatin1String(f.name) + suffix, {FieldX, y, FieldWidth, Pitch})
                    .edit;
        }
    }
    ButtonRow pwmButtons(pwm, {68, 249, 100, 24}, {118, 0});
    btWritePWM = pwmButtons.add("btWritePWM", QStringLiteral("Записать"));
    btReadPWM = pwmButtons.add("btReadPWM", QStringLiteral("Считать"));
    btWritePWM->setFixedHeight(Pitch + 2);
    btReadPWM->setFixedHeight(Pitch + 2);

    qmt::onClicked(btSendDAC, qmt::handler(this, &TfOutParam::btSendDACClick));
    qmt::onClicked(btReadDAC, qmt::handler(this, &TfOutParam::btReadDACClick));
    qmt::onClicked(btWritePWM, qmt::handler(this, &TfOutParam::btWritePWMClick));
    qmt::onClicked(btReadPWM, qmt::handler(this, &TfOutParam::btReadPWMClick));

    rgMode->setItemIndex(0);
}

void TfOutParam::rgModeClick() {
    const bool current = qmt::modes::Signal.valueOf(rgMode->itemIndex()) == qmt::reg::ModeCurrent;
    lbTime->setText(current ? QStringLiteral("Скорость нарастания  (мкА/мс)")
                            : QStringLiteral("Скорость нарастания  (мВ/мс)"));
    lbBegVal->setText(current ? QStringLiteral("Начальное значение (мкА)")
                              : QStringLiteral("Начальное значение (мВ)"));
}

void TfOutParam::showMode(uint16_t mode) {
    rgMode->setItemIndex(qmt::modes::Signal.itemOf(mode));
    // The handler does not run for the item already selected or for no item.
    rgModeClick();
}

void TfOutParam::showPwm(int channel, const uint16_t* values) {
    for (int k = 0; k < PwmFields; ++k) {
        pwm_[size_t(channel)][size_t(k)]->setText(
            qmt::FormatRegisterValue(values[k], PwmFieldsTable[k].kind));
    }
}

void TfOutParam::LoadFromConfig() {
    const auto& io = qmt::Config.io;
    edTime->setText(qmt::FormatRegisterValue(io[qmt::io::DacVi], 1));
    edBegVal->setText(qmt::FormatRegisterValue(io[qmt::io::DacValue], 1));
    showMode(io[qmt::io::DacMode]);
    for (int ch = 0; ch < PwmChannels; ++ch)
        showPwm(ch, io.data() + pwmWord(ch, 0));
}

void TfOutParam::btSendDACClick() {
    // Every field of the group is checked before the first write, so a refused
    // field leaves the module and the model as they were.
    const bool current = qmt::modes::Signal.valueOf(rgMode->itemIndex()) == qmt::reg::ModeCurrent;
    const QString timeText = edTime->text();
    const QString initialText = edBegVal->text();
    const std::optional<uint16_t> slew =
        timeText.isEmpty() ? std::nullopt
                           : std::optional<uint16_t>(qmt::ParseRegisterValue(timeText, 1));
    const std::optional<uint16_t> initial =
        initialText.isEmpty() ? std::nullopt
                              : std::optional<uint16_t>(initialValue(initialText, current));
    const std::optional<uint16_t> chosen = qmt::modes::Signal.valueOf(rgMode->itemIndex());
    if (!chosen) throw qmt::Exception(QStringLiteral("Не выбран режим!"));
    const uint16_t mode = *chosen;

    auto& io = qmt::Config.io;
    if (slew) {
        if (qmt::LinkUp) qmt::WriteProtectedRegister(qmt::reg::OutputSlewRate, *slew);
        io[qmt::io::DacVi] = *slew;
    }
    if (initial) {
        if (qmt::LinkUp) qmt::WriteProtectedRegister(qmt::reg::OutputInitialValue, *initial);
        io[qmt::io::DacValue] = *initial;
    }
    if (qmt::LinkUp) qmt::WriteProtectedRegister(qmt::reg::OutputMode, mode);
    io[qmt::io::DacMode] = mode;
    qmt::TellWritten(this);
}

void TfOutParam::btReadDACClick() {
    edTime->setText(qmt::FormatRegisterValue(qmt::ReadRegister(qmt::reg::OutputSlewRate), 1));
    const uint16_t initial = qmt::ReadRegister(qmt::reg::OutputInitialValue);
    edBegVal->setText(qmt::FormatRegisterValue(initial, 1));
    qmt::Config.io[qmt::io::DacValue] = initial;
    showMode(qmt::ReadRegister(qmt::reg::OutputMode));
}

void TfOutParam::btWritePWMClick() {
    // Both channels are checked before channel 1 is written.
    uint16_t values[PwmChannels][PwmFields] = {};
    for (int ch = 0; ch < PwmChannels; ++ch) {
        for (int k = 0; k < PwmFields; ++k) {
            values[ch][k] = qmt::ParseRegisterValue(pwm_[size_t(ch)][size_t(k)]->text(),
                                                    PwmFieldsTable[k].kind);
        }
    }
    for (int ch = 0; ch < PwmChannels; ++ch) {
        if (qmt::LinkUp) qmt::WriteRegisters(pwmRegister(ch), PwmFields, values[ch]);
        for (int k = 0; k < PwmFields; ++k)
            qmt::Config.io[pwmWord(ch, k)] = values[ch][k];
    }
    qmt::TellWritten(this);
}

void TfOutParam::btReadPWMClick() {
    for (int ch = 0; ch < PwmChannels; ++ch) {
        uint16_t values[PwmFields] = {};
        qmt::ReadRegisters(pwmRegister(ch), PwmFields, values);
        for (int k = 0; k < PwmFields; ++k)
            qmt::Config.io[pwmWord(ch, k)] = values[k];
        showPwm(ch, values);
    }
}
