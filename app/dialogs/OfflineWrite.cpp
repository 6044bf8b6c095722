#include "dialogs/OfflineWrite.h"

#include "common/Ui.h"
#include "link/PortSettings.h"
#include "link/StatusReport.h"

namespace qmt {

QString OfflineWriteText() {
    return QStringLiteral(
        "Нет связи с модулем.\nЗначения сохранены только в конфигурации программы, в модуль они не записаны.");
}

void TellWrittenOffline(QWidget* owner) {
    showMessage(OfflineWriteText(), QString(), MsgIcon::Information, owner);
}

QString WrittenText() {
    return QStringLiteral("Значения записаны в модуль");
}

QString StoredOnlyText() {
    return QStringLiteral("Нет связи: значения только в конфигурации");
}

void TellWritten(QWidget* owner) {
    if (LinkUp) {
        status().confirm(WrittenText());
        return;
    }
    status().confirm(StoredOnlyText());
    TellWrittenOffline(owner);
}

} // namespace qmt
