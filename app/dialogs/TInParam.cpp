#include "dialogs/TInParam.h"

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

#include <QLineEdit>
#include <QPushButton>

#include <optional>

TInParam::TInParam(QWidget* parent) : qmt::ItemDialog(parent, qmt::form::Closable) {
    using namespace qmt::form;
    // Wide enough for a window manager's title bar to hold the caption whole
    // beside its icon and buttons; the field and the buttons keep to the right.
    setUp(this, "InParam", QStringLiteral("Параметры входа 1"), {256, 104});

    edTime =
        labelledEdit(this, QStringLiteral("lbTime"), QStringLiteral("Время интегрирования (мс)"),
                     {6, 6, 200, 22}, QStringLiteral("edTime"), {208, 6, 44, 22})
            .edit;
    rgMode = radioGroup(this, "rgMode", QStringLiteral("Режим"), {6, 32, 124, 66},
                        {QStringLiteral("По току"), QStringLiteral("По напряжению")});
    rgMode->setItemIndex(1);

    // Nothing happens on Enter, as nothing is bound to it.
    ButtonRow buttons(this, {182, 42, 70, 25}, {0, 31});
    btSend = buttons.add("btSend", QStringLiteral("Записать"));
    btRead = buttons.add("btRead", QStringLiteral("Считать"));

    qmt::onClicked(btSend, qmt::handler(this, &TInParam::btSendClick));
    qmt::onClicked(btRead, qmt::handler(this, &TInParam::btReadClick));
}

void TInParam::showMode(uint16_t mode) {
    // Any code but current and voltage selects nothing.
    rgMode->setItemIndex(qmt::modes::Signal.itemOf(mode));
}

void TInParam::LoadFromConfig() {
    setWindowTitle(QStringLiteral("Параметры входа ") + QString::number(Tag + 1));
    const size_t c = size_t(Tag);
    edTime->setText(qmt::FormatRegisterValue(qmt::Config.io.at(qmt::io::InputTi0 + c), 1));
    showMode(qmt::Config.io.at(qmt::io::InputMode0 + c));
}

void TInParam::btSendClick() {
    const std::optional<uint16_t> chosen = qmt::modes::Signal.valueOf(rgMode->itemIndex());
    if (!chosen) throw qmt::Exception(QStringLiteral("Не выбран режим!"));
    const int c = Tag;
    const uint16_t time = qmt::ParseRegisterValue(edTime->text(), 1);
    const uint16_t mode = *chosen;
    if (qmt::LinkUp) {
        qmt::WriteProtectedRegister(qmt::reg::InputIntegrationTime(c), time);
        qmt::WriteProtectedRegister(qmt::reg::InputMode(c), mode);
    }
    qmt::Config.io.at(size_t(qmt::io::InputTi0 + c)) = time;
    qmt::Config.io.at(size_t(qmt::io::InputMode0 + c)) = mode;
    qmt::TellWritten(this);
}

void TInParam::btReadClick() {
    const int c = Tag;
    edTime->setText(
        qmt::FormatRegisterValue(qmt::ReadRegister(qmt::reg::InputIntegrationTime(c)), 1));
    showMode(qmt::ReadRegister(qmt::reg::InputMode(c)));
}
