// Moving the configuration model between the program and the module, and the
// module's restart counter: the menu commands over the transfer of
// ConfigTransfer.h.
#include "config/ConfigTransfer.h"
#include "config/ModuleConfig.h"
#include "config/TPidConf.h"

#include "common/RadioGroup.h"
#include "common/Ui.h"
#include "link/ModeItems.h"
#include "link/StatusReport.h"

#include <optional>

using namespace qmt;

const std::array<QString, 63>& TPidConf::WriteStepNames() {
    return qmt::WriteStepNames();
}

void TPidConf::miReadConfClick() {
    std::optional<qmt::BusyCursor> busy(std::in_place);
    const ConfigRead read = ReadConfiguration(Config, [this](uint16_t mode) {
        const int item = modes::Module.itemOf(mode);
        if (item >= 0)
            rgMode->setItemIndex(item);
        else
            rgMode->clearSelection();
    });
    busy.reset(); // ShowConfig may ask the user
    ShowConfig();
    status().confirm(QStringLiteral("Конфигурация прочитана: ") + RegisterCount(read.registers));
}

void TPidConf::miWriteConfClick() {
    const qmt::BusyCursor busy; // 8 to 13 seconds of writes
    const int written = WriteConfiguration(Config);
    status().confirm(QStringLiteral("Конфигурация записана: ") + RegisterCount(written));
}

void TPidConf::miReadResCountClick() {
    const uint16_t count = ReadRestartCounter();
    showMessage(QStringLiteral("Значение счетчика\nрестартов равно ") + QString::number(count),
                QString(), MsgIcon::Information, this);
}

void TPidConf::miNullResCountClick() {
    ClearRestartCounter();
    showMessage(QStringLiteral("Операция завершена успешно!"), QString(), MsgIcon::Information,
                this);
}
