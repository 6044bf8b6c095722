// The engineer's tools of the main window: writing only what changed, the
// station list of the line and the traffic monitor.
#include "config/ChangedWrite.h"
#include "config/ModuleConfig.h"
#include "config/TConfigChanges.h"
#include "config/TPidConf.h"

#include "common/Ui.h"
#include "link/StatusReport.h"
#include "link/TStationScan.h"
#include "link/TTrafficMonitor.h"

#include <QPointer>

#include <optional>

using namespace qmt;

void TPidConf::miWriteChangesClick() {
    std::optional<BusyCursor> busy(std::in_place);
    const std::vector<ConfigDifference> changes = ModuleChanges(Config, false);
    busy.reset();
    if (changes.empty()) {
        showMessage(QStringLiteral("Изменений нет"), QString(), MsgIcon::Information, this);
        return;
    }
    QPointer<TConfigChanges> dialog = new TConfigChanges(this);
    dialog->setChanges(changes);
    const int result = prompts().execModal(dialog);
    delete dialog.data();
    if (result != QDialog::Accepted) return;
    busy.emplace();
    const int written = WriteChanges(Config, changes);
    status().confirm(QStringLiteral("Изменения записаны: ") + RegisterCount(written));
}

namespace {

template <class Window> void showTool(Window*& window, QWidget* owner) {
    if (!window) window = new Window(owner);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

void TPidConf::miStationScanClick() {
    showTool(StationScan, this);
}

void TPidConf::miTrafficMonitorClick() {
    showTool(TrafficMonitor, this);
}
