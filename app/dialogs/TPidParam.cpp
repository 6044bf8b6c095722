#include "dialogs/TPidParam.h"

#include "common/CheckBox.h"
#include "common/RadioGroup.h"
#include "common/Ui.h"
#include "config/ModuleConfig.h"
#include "dialogs/DialogForm.h"
#include "dialogs/FixedPoint.h"
#include "config/PidWrite.h"
#include "dialogs/OfflineWrite.h"
#include "link/Errors.h"
#include "link/ModeItems.h"
#include "link/PortSettings.h"
#include "link/RegisterAccess.h"
#include "link/RegisterMap.h"
#include "link/StatusReport.h"

#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <utility>
#include <vector>

namespace {

// How a field shows its register and takes it back.
enum class Conv { Signed, Unsigned, Hundredths, Tenths, TwoMs, Control };

struct Param {
    const char* field; // objectName of the edit field
    const char* label;
    Conv conv;
};

// By register offset.
const Param Params[TPidParam::ParamCount] = {
    {"ed1", "Уставка по умолчанию", Conv::Signed},
    {"ed2", "Верняя граница зона нечувствительности", Conv::Unsigned},
    {"ed3", "Коэффициент пропорциональности", Conv::Hundredths},
    {"ed4", "Постоянная времени интегрирования (мс)", Conv::TwoMs},
    {"ed5", "Постоянная времени дифференцирования (мс)", Conv::Tenths},
    {"ed6", "Период входных  выборок (мс)", Conv::TwoMs},
    {"ed7", "Уровень ограничения по максимуму", Conv::Signed},
    {"ed8", "Уровень ограничения по минимуму", Conv::Signed},
    {"ed9", "Смещение выхода", Conv::Signed},
    {nullptr, nullptr, Conv::Control},
    {"edXfo", "Предустановка выхода", Conv::Signed},
    {"ed10", "Смещение входа", Conv::Signed},
    {"ed11", "Нижняя граница зона нечувствительности", Conv::Unsigned},
};

// Top to bottom in the column, and the order of conversion; the tab sequence
// differs only in taking ed2 before ed11.
constexpr int ColumnOrder[] = {0, 12, 1, 2, 3, 4, 5, 6, 7, 8, 11};
constexpr int TabOrder[] = {0, 1, 12, 2, 3, 4, 5, 6, 7, 8, 11};
constexpr int ConversionOrder[] = {0, 12, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};

// Offsets of the fields the dialog treats apart: the sampling period ("ed6"),
// whose leaving checks the maximum ("ed7"), and the forced output ("edXfo"),
// in the control group and not written by Enter.
constexpr int SamplePeriodField = qmt::reg::pid::Ts - qmt::reg::pid::XsDef;
constexpr int MaximumField = qmt::reg::pid::Ymax - qmt::reg::pid::XsDef;
constexpr int ForcedOutputField = qmt::reg::pid::XfoDef - qmt::reg::pid::XsDef;

uint16_t firstRegister(int n) {
    return qmt::reg::PidWord(n, qmt::reg::pid::XsDef);
}

QString showValue(Conv conv, uint16_t r) {
    switch (conv) {
    case Conv::Signed:
        return qmt::FormatRegisterValue(r, 2);
    case Conv::Unsigned:
        return qmt::FormatRegisterValue(r, 1);
    case Conv::Hundredths:
        return qmt::FormatFloat(float(r * 0.01), 2);
    case Conv::Tenths:
        return qmt::FormatFloat(float(r * 0.1), 1);
    case Conv::TwoMs:
        return QString::number(2 * int(r));
    case Conv::Control:
        break;
    }
    return QString();
}

uint16_t takeValue(Conv conv, const QString& text) {
    switch (conv) {
    case Conv::Signed:
        return qmt::ParseRegisterValue(text, 2);
    case Conv::Unsigned:
        return qmt::ParseRegisterValue(text, 1);
    case Conv::Hundredths:
        return qmt::ParseFixedPoint(text, 2);
    case Conv::Tenths:
        return qmt::ParseFixedPoint(text, 1);
    case Conv::TwoMs:
        return qmt::ParseDoubledValue(text);
    case Conv::Control:
        break;
    }
    return 0;
}

} // namespace

TPidParam::TPidParam(QWidget* parent) : qmt::ItemDialog(parent, qmt::form::Closable) {
    using namespace qmt::form;
    setUp(this, "PidParam", QStringLiteral("Параметры - ПИД1"), {548, 373});

    // The longest labels take two lines so the group box beside the column has
    // room for its check boxes.
    constexpr int Top = 12, Pitch = 32, LabelWidth = 208, FieldX = 220, FieldWidth = 60;
    int row = 0;
    for (int offset : ColumnOrder) {
        const Param& p = Params[offset];
        const int y = Top + Pitch * row++;
        const LabelledEdit row = labelledEdit(
            this, QStringLiteral("lb") + QLatin1String(p.field).mid(2), QString::fromUtf8(p.label),
            {8, y - 4, LabelWidth, 30}, QLatin1String(p.field), {FieldX, y, FieldWidth, 22});
        row.label->setWordWrap(true);
        row.label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        row.edit->installEventFilter(this);
        fields_[offset] = row.edit;
    }

    QGroupBox* gbPIDCon =
        group(this, "gbPIDCon", QStringLiteral("Регистр управления"), {292, 8, 248, 182});
    rgType = radioGroup(gbPIDCon, "rgType", QStringLiteral("Тип регулятора"), {8, 20, 232, 62},
                        {QStringLiteral("Прямой"), QStringLiteral("Реверсивный")});
    rgType->setItemIndex(0);
    chbXfo = new qmt::CheckBox(QStringLiteral("Принудительная установка выхода"), gbPIDCon);
    chbXfo->setObjectName(QStringLiteral("chbXfo"));
    chbXfo->setGeometry(8, 90, 236, 20);
    QLineEdit* edXfo = labelledEdit(gbPIDCon, QStringLiteral("lbXfo"),
                                    QString::fromUtf8(Params[ForcedOutputField].label),
                                    {26, 118, 136, 22}, QStringLiteral("edXfo"), {166, 118, 60, 22})
                           .edit;
    fields_[ForcedOutputField] = edXfo;
    chbMz = new qmt::CheckBox(QStringLiteral("Реализация зоны нечувствительности "), gbPIDCon);
    chbMz->setObjectName(QStringLiteral("chbMz"));
    chbMz->setGeometry(8, 150, 236, 20);

    // Enter belongs to the fields (edKeyPress), not to a default button.
    ButtonRow buttons(this, {292, 332, 76, 25}, {86, 0});
    btRead = buttons.add("btRead", QStringLiteral("Считать"));
    btSend = buttons.add("btSend", QStringLiteral("Записать"));
    btCancel = buttons.add("btCancel", QStringLiteral("Отмена"));

    QWidget* previous = nullptr;
    for (int offset : TabOrder) {
        if (previous) setTabOrder(previous, fields_[offset]);
        previous = fields_[offset];
    }
    QWidget* const rest[] = {
        rgType->button(0), rgType->button(1), chbXfo, edXfo, chbMz, btRead, btSend, btCancel};
    for (QWidget* next : rest) {
        setTabOrder(previous, next);
        previous = next;
    }

    qmt::onClicked(btSend, qmt::handler(this, &TPidParam::btSendClick));
    qmt::onClicked(btRead, qmt::handler(this, &TPidParam::btReadClick));
    qmt::onClicked(btCancel, [this] { reject(); });
}

bool TPidParam::eventFilter(QObject* watched, QEvent* event) {
    if (watched != fields_[ForcedOutputField] && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            qmt::guarded([this] { edKeyPress(QChar(13)); });
        }
    } else if (watched == fields_[SamplePeriodField] && event->type() == QEvent::FocusOut) {
        // Leaving the field for another control of the dialog; not the window
        // losing focus to a message box or another program.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            qmt::guarded(qmt::handler(this, &TPidParam::ed7Exit));
    }
    return QDialog::eventFilter(watched, event);
}

void TPidParam::edKeyPress(QChar key) {
    if (key == QChar(13)) btSendClick();
}

void TPidParam::LoadFromConfig() {
    setWindowTitle(QStringLiteral("Параметры - ПИД") + QString::number(Tag + 1));
    const qmt::PidBlock& block = qmt::Config.pid.at(size_t(Tag));
    showValues(0, ParamCount, block.w.data() + qmt::reg::pid::XsDef);
}

void TPidParam::showValues(int first, int count, const uint16_t* values) {
    for (int k = 0; k < count; ++k) {
        const int offset = first + k;
        const uint16_t r = values[k];
        if (offset == ControlOffset) {
            rgType->setItemIndex(qmt::modes::PidAction.itemOf(r));
            chbXfo->setChecked(r & qmt::reg::pid::ForcedOutput);
            chbMz->setChecked(r & qmt::reg::pid::DeadZoneActive);
        } else {
            fields_[offset]->setText(showValue(Params[offset].conv, r));
        }
    }
}

uint16_t TPidParam::controlWord() const {
    uint16_t word = 0;
    if (chbXfo->checked()) word |= qmt::reg::pid::ForcedOutput;
    word = qmt::modes::PidAction.merged(word, rgType->itemIndex());
    if (chbMz->checked()) word |= qmt::reg::pid::DeadZoneActive;
    return word;
}

void TPidParam::ed7Exit() {
    // Read as the conversion of the field reads it, so the floor holds for the
    // value written (a text like "0x1F" is 0 to both).
    QLineEdit* ed7 = fields_[MaximumField];
    if (qmt::ParseInteger(ed7->text(), -32768, 32767) < 2) ed7->setText(QStringLiteral("2"));
}

void TPidParam::btSendClick() {
    if (rgType->itemIndex() < 0) throw qmt::Exception(QStringLiteral("Выберите тип регулятора!"));
    ed7Exit();

    uint16_t values[ParamCount] = {};
    for (int offset : ConversionOrder) {
        values[offset] = offset == ControlOffset
                             ? controlWord()
                             : takeValue(Params[offset].conv, fields_[offset]->text());
    }

    const int n = Tag;
    std::vector<std::pair<int, uint16_t>> all;
    for (int offset = 0; offset < ParamCount; ++offset)
        all.emplace_back(offset, values[offset]);
    if (qmt::LinkUp) {
        qmt::BusyCursor busy;
        qmt::ProgressNote note; // a second and more of writes and waits
        qmt::WritePidParameters(n, all, [&](int written) {
            note.show(QStringLiteral("Запись параметров ПИД%1: %2 из %3")
                          .arg(n + 1)
                          .arg(written)
                          .arg(ParamCount));
        });
    }
    qmt::StorePidParameters(n, all);
    qmt::TellWritten(this);
}

void TPidParam::btReadClick() {
    const uint16_t first = firstRegister(Tag);
    uint16_t head[7] = {};
    qmt::ReadRegisters(first, 7, head);
    showValues(0, 7, head);
    uint16_t tail[6] = {};
    qmt::ReadRegisters(uint16_t(first + 7), 6, tail);
    showValues(7, 6, tail);
}
