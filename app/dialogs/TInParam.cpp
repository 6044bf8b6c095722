#include "dialogs/TInParam.h"

#include "common/RadioGroup.h"
#include "common/Ui.h"
#include "config/ModuleConfig.h"
#include "dialogs/FramedItems.h"
#include "dialogs/OfflineWrite.h"
#include "link/Errors.h"
#include "link/PortSettings.h"
#include "link/RegisterAccess.h"
#include "link/RegisterMap.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TInParam::TInParam(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("InParam"));
    setWindowTitle(QStringLiteral("Параметры входа 1"));
    setFixedSize(211, 104);

    auto* lbTime = new QLabel(QStringLiteral("Время интегрирования (мс)"), this);
    lbTime->setObjectName(QStringLiteral("lbTime"));
    lbTime->setGeometry(6, 6, 156, 22);
    edTime = new QLineEdit(this);
    edTime->setObjectName(QStringLiteral("edTime"));
    edTime->setGeometry(163, 6, 44, 22);
    lbTime->setBuddy(edTime);

    rgMode = new qmt::RadioGroup(this);
    rgMode->setObjectName(QStringLiteral("rgMode"));
    rgMode->setTitle(QStringLiteral("Режим"));
    rgMode->setGeometry(6, 32, 124, 66);
    rgMode->setItems({QStringLiteral("По току"), QStringLiteral("По напряжению")});
    qmt::PlaceItemsInFrame(rgMode);
    rgMode->setItemIndex(1);

    btSend = new QPushButton(QStringLiteral("Записать"), this);
    btSend->setObjectName(QStringLiteral("btSend"));
    btSend->setGeometry(137, 42, 70, 25);
    btRead = new QPushButton(QStringLiteral("Считать"), this);
    btRead->setObjectName(QStringLiteral("btRead"));
    btRead->setGeometry(137, 73, 70, 25);
    // Nothing happens on Enter, as nothing is bound to it.
    btSend->setAutoDefault(false);
    btRead->setAutoDefault(false);

    qmt::onClicked(btSend, qmt::handler(this, &TInParam::btSendClick));
    qmt::onClicked(btRead, qmt::handler(this, &TInParam::btReadClick));
}

void TInParam::showMode(uint16_t mode) {
    // 1 current, 2 voltage; any other code selects nothing.
    rgMode->setItemIndex(mode == qmt::reg::ModeCurrent   ? 0
                         : mode == qmt::reg::ModeVoltage ? 1
                                                         : -1);
}

void TInParam::LoadFromConfig() {
    setWindowTitle(QStringLiteral("Параметры входа ") + QString::number(Tag + 1));
    const size_t c = size_t(Tag);
    edTime->setText(qmt::FormatRegisterValue(qmt::Config.io.at(qmt::io::InputTi0 + c), 1));
    showMode(qmt::Config.io.at(qmt::io::InputMode0 + c));
}

void TInParam::btSendClick() {
    const int item = rgMode->itemIndex();
    if (item < 0) throw qmt::Exception(QStringLiteral("Не выбран режим!"));
    const int c = Tag;
    const uint16_t time = qmt::ParseRegisterValue(edTime->text(), 1);
    const uint16_t mode = uint16_t(item + 1);
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
