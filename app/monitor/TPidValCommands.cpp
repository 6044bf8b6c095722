// Writes from the values window and the direct commands to outputs and regulators.
#include "monitor/TPidVal.h"

#include "common/RadioGroup.h"
#include "config/ModuleConfig.h"
#include "link/Errors.h"
#include "link/ModeItems.h"
#include "link/RegisterAccess.h"
#include "link/RegisterMap.h"
#include "monitor/MonitorGrid.h"
#include "monitor/WholeNumber.h"

#include <QLabel>
#include <QLineEdit>

#include <optional>

namespace reg = qmt::reg;

namespace {

bool isEnter(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

// The analog output takes a signed or an unsigned word; a wider number would
// reach the actuator as its low 16 bits, a value nobody typed.
uint16_t outputValue(const QString& text) {
    if (!qmt::IsWholeNumber(text))
        throw qmt::Exception(QStringLiteral("'%1' is not a valid integer value").arg(text));
    bool ok = false;
    const long long value = text.trimmed().toLongLong(&ok);
    if (!ok || value < -32768 || value > 65535) {
        throw qmt::Exception(
            QStringLiteral("Значение %1 выходит за пределы -32768 - 65535!").arg(text));
    }
    return static_cast<uint16_t>(value & 0xFFFF);
}

// A register value that Enter sends at once. The reading of the dialogs (a
// leading number, the rest ignored, a blank as 0) would write 0 for a cleared
// field and 12 for "12x" to a running regulator; here both are refused.
uint16_t directValue(const QString& text, int kind) {
    if (!qmt::IsWholeNumber(text))
        throw qmt::Exception(QStringLiteral("\" %1 \" не является целым числом").arg(text));
    return qmt::ParseRegisterValue(text, kind);
}

// The state word as a read cycle displayed it; nothing before the first read.
std::optional<uint16_t> hexWord(const QString& text) {
    if (text.isEmpty() || text.size() > 4) return std::nullopt;
    for (QChar c : text)
        if (!(c.unicode() < 128 && isxdigit(c.toLatin1()))) return std::nullopt;
    return static_cast<uint16_t>(text.toUInt(nullptr, 16));
}

// Sets the bits of the PWM state register that the group stands for to the
// item's value, keeping the others as the module holds them.
void writePwmItem(const qmt::ModeItems& items, int item) {
    const uint16_t v = qmt::ReadRegister(reg::PwmState);
    qmt::WriteRegister(reg::PwmState, items.merged(v, item));
}

} // namespace

// --- Writes ---

void TPidVal::sgModValuesKeyPress(int key) {
    if (!isEnter(key) || sgModValues->col() != 1 || sgModValues->row() != 4) return;
    qmt::WriteRegister(reg::OutputValue, outputValue(sgModValues->currentText()));
}

void TPidVal::sgWriteValKeyPress(int key) {
    if (!isEnter(key)) return;
    const int col = sgWriteVal->col(), row = sgWriteVal->row();
    const int kind = qmt::Config.io[qmt::io::DacMode] == reg::ModeCurrent ? 1 : 2;
    const uint16_t value = directValue(sgWriteVal->currentText(), kind);
    qmt::WriteRegister(static_cast<uint16_t>(reg::LiveBlock(col - 1) + reg::live::Xfo + row),
                       value);
}

void TPidVal::edMbSetKeyPress(int tag, int key) {
    if (!isEnter(key) || tag < 0 || tag > 2) return;
    QLineEdit* edits[3] = {edMbSet1, edMbSet2, edMbSet3};
    const uint16_t value = directValue(edits[tag]->text(), 2);
    qmt::WriteRegister(reg::PidWord(tag, reg::pid::XsDef), value);
}

// --- Regulator reset and integrators ---

void TPidVal::resetRegulator(uint16_t bit) {
    const uint16_t v = qmt::ReadRegister(reg::ResetRegister);
    qmt::WriteRegister(reg::ResetRegister, static_cast<uint16_t>(v | bit));
}

void TPidVal::btResPID1Click() {
    resetRegulator(1u << 0);
}
void TPidVal::btResPID2Click() {
    resetRegulator(1u << 1);
}
void TPidVal::btResPID3Click() {
    resetRegulator(1u << 2);
}

void TPidVal::btSetIntClick(int tag) {
    if (tag < 0 || tag > 2) return;
    // From the displayed state, not a fresh read; before any read there is
    // nothing defined to write.
    const std::optional<uint16_t> state = hexWord(sgSTATE->cell(tag + 1, 4));
    if (!state) return;
    qmt::WriteRegister(static_cast<uint16_t>(reg::LiveBlock(tag) + reg::live::State),
                       static_cast<uint16_t>(*state | reg::live::SetIntegrator));
}

// --- Module status ---

void TPidVal::btReadStatusClick() {
    const uint16_t v = qmt::ReadRegister(reg::ModuleStatus);
    setStatusColour(lbErrFLASH, v & reg::StatusFlashFailure);
    setStatusColour(lbErrKS, v & reg::StatusChecksumError);
}

// --- PWM state register ---

void TPidVal::rgModePWMClick() {
    const int item = rgModePWM->itemIndex();
    const uint16_t v = qmt::ReadRegister(reg::PwmState);
    rgOut1->setEnabled(true);
    rgOut2->setEnabled(true);
    const bool normal = qmt::modes::PwmMode.valueOf(item) == 0;
    const QString first = normal ? QStringLiteral("Прямой") : QStringLiteral("0");
    const QString second = normal ? QStringLiteral("Инверсный") : QStringLiteral("1");
    for (qmt::RadioGroup* g : {rgOut1, rgOut2}) {
        g->setItemText(0, first);
        g->setItemText(1, second);
    }
    qmt::WriteRegister(reg::PwmState, qmt::modes::PwmMode.merged(v, item));
}

void TPidVal::setPwmBit(uint16_t bit, bool on) {
    uint16_t v = qmt::ReadRegister(reg::PwmState);
    v = on ? static_cast<uint16_t>(v | bit) : static_cast<uint16_t>(v & ~bit);
    qmt::WriteRegister(reg::PwmState, v);
}

void TPidVal::rgOut1Click() {
    writePwmItem(qmt::modes::PwmOutput1, rgOut1->itemIndex());
}

void TPidVal::rgOut2Click() {
    writePwmItem(qmt::modes::PwmOutput2, rgOut2->itemIndex());
}

void TPidVal::btReadPWMClick() {
    const uint16_t v = qmt::ReadRegister(reg::PwmState);
    // Each change runs its group's action, which reads the register again and
    // writes back the bits just read.
    rgModePWM->setItemIndex(qmt::modes::PwmMode.itemOf(v));
    rgOut1->setItemIndex(qmt::modes::PwmOutput1.itemOf(v));
    rgOut2->setItemIndex(qmt::modes::PwmOutput2.itemOf(v));
}

void TPidVal::btSetResPWMClick() {
    setPwmBit(reg::pwmstate::ResetHeld, true);
}

void TPidVal::btClearResPWMClick() {
    setPwmBit(reg::pwmstate::ResetHeld, false);
}

// --- Output control ---

void TPidVal::writeOutputCode(uint16_t address, const qmt::RadioGroup* group) {
    if (outClicksSuspended_) return;
    qmt::WriteRegister(
        address, qmt::modes::OutputCommand.valueOf(group->itemIndex()).value_or(reg::OutputOff));
}

void TPidVal::rgContrOut1Click() {
    writeOutputCode(reg::PwmOutputControl(0), rgContrOut1);
}

void TPidVal::rgContrOut2Click() {
    writeOutputCode(reg::PwmOutputControl(1), rgContrOut2);
}

void TPidVal::btReadOutClick() {
    uint16_t w[2];
    qmt::ReadRegisters(reg::PwmOutputControl(0), 2, w);
    // Showing what the module holds must not write it back.
    struct Suspend {
        bool& flag;
        explicit Suspend(bool& f) : flag(f) { flag = true; }
        ~Suspend() { flag = false; }
    } suspend(outClicksSuspended_);
    rgContrOut1->setItemIndex(qmt::modes::OutputState.itemOf(w[0]));
    rgContrOut2->setItemIndex(qmt::modes::OutputState.itemOf(w[1]));
}
