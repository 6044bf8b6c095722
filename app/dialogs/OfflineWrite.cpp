#include "dialogs/OfflineWrite.h"

#include "link/Ui.h"

namespace qmt {

QString OfflineWriteText() {
    return QStringLiteral("Нет связи с модулем.\nЗначения сохранены только в конфигурации "
                          "программы, в модуль они не записаны.");
}

void TellWrittenOffline(QWidget* owner) {
    showMessage(OfflineWriteText(), QString(), MsgIcon::Information, owner);
}

} // namespace qmt
