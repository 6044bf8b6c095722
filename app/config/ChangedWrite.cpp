#include "config/ChangedWrite.h"

#include "common/Seams.h"
#include "link/Errors.h"
#include "link/RegisterAccess.h"
#include "link/StatusReport.h"

namespace qmt {
namespace {

constexpr int WriteWaitMs = 100;

} // namespace

std::vector<ConfigDifference> ModuleChanges(const ModuleConfig& wanted, bool keepModuleMode) {
    // The words the read does not reach (PWM without it) stay as wanted, so
    // they never count as a change.
    ModuleConfig module = wanted;
    const ConfigRead read = ReadConfiguration(module);
    ModuleConfig target = wanted;
    if (keepModuleMode) target.io[io::ModuleMode] = module.io[io::ModuleMode];
    return CompareConfigurations(module, target, read.pwm);
}

int WriteChanges(const ModuleConfig& wanted, const std::vector<ConfigDifference>& changes) {
    const int total = static_cast<int>(changes.size());
    int written = 0;
    ProgressNote note;
    try {
        for (const ConfigDifference& change : changes) {
            note.show(QStringLiteral("Запись изменений: %1 из %2").arg(written).arg(total));
            const ConfigStep s = ConfigWriteStep(change.step);
            const uint16_t value = ConfigWord(wanted, change.step);
            if (s.protectedWrite)
                WriteProtectedRegister(s.address, value);
            else
                WriteRegister(s.address, value);
            ++written;
            if (s.waitAfter && written < total) clock().sleepMs(WriteWaitMs);
        }
    } catch (ECommError& error) {
        const ConfigDifference& failed = changes[static_cast<size_t>(written)];
        error.setMessage(QStringLiteral("%1\nпараметр:\n%2\nзаписано до сбоя: %3 из %4")
                             .arg(error.message(), failed.name, QString::number(written),
                                  QString::number(total)));
        throw;
    }
    return written;
}

QString ChangeText(const ConfigDifference& change) {
    return QStringLiteral("%1 %2: %3 → %4")
        .arg(change.address)
        .arg(change.name)
        .arg(change.module)
        .arg(change.wanted);
}

} // namespace qmt
