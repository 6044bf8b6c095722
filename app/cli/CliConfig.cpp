// read-config, write-config and diff: the configuration transfer of the main
// window and its .pid files, for one station.
#include "cli/CliRun.h"

#include "config/ChangedWrite.h"
#include "config/ConfigTransfer.h"
#include "config/ModuleConfig.h"
#include "config/PidFile.h"
#include "link/Errors.h"
#include "link/IniFile.h"
#include "link/ModeItems.h"
#include "link/PortSettings.h"
#include "link/RegisterAccess.h"
#include "link/RegisterMap.h"
#include "link/StatusReport.h"

namespace qmt::cli {
namespace {

ModuleConfig newConfig() {
    ModuleConfig config;
    ResetConfig(config);
    return config;
}

// Every key write-config sends, each readable: the window's loading fills in
// defaults silently, which on a module would replace what the file lacks.
IniFile checkedPidFile(const QString& path) {
    if (!path.endsWith(QLatin1String(".pid"), Qt::CaseInsensitive))
        throw Exception(
            QStringLiteral("Файл %1 не является файлом конфигурации QMT-584").arg(path));
    IniFile ini(path);
    switch (ini.load()) {
    case IniFile::LoadStatus::Missing:
        throw Exception(QStringLiteral("Файл %1 не найден").arg(path));
    case IniFile::LoadStatus::Unreadable:
        throw Exception(QStringLiteral("Невозможно прочитать файл %1").arg(path));
    case IniFile::LoadStatus::Ok:
        break;
    }
    if (!HasPidConfig(ini))
        throw Exception(
            QStringLiteral("Файл %1 не является файлом конфигурации QMT-584").arg(path));
    if (const auto fault = FirstUnreadablePidKey(ini)) {
        if (fault->missing)
            throw Exception(QStringLiteral("В файле %1 нет ключа %2 раздела [%3]")
                                .arg(path, fault->key, fault->section));
        throw Exception(QStringLiteral("В файле %1 ключ %2 раздела [%3] не является числом")
                            .arg(path, fault->key, fault->section));
    }
    // A number no word holds would be written as its low 16 bits.
    if (const auto error = PidRangeError(ini, path)) throw Exception(*error);
    return ini;
}

QString differenceLine(const ConfigDifference& d) {
    return QStringLiteral("%1 %2: модуль %3, файл %4")
        .arg(d.address)
        .arg(d.name)
        .arg(d.module)
        .arg(d.wanted);
}

// The module's configuration and what a write of the file would change; the
// file has no module mode, the module keeps its own.
std::vector<ConfigDifference> differences(const ModuleConfig& file) {
    return ModuleChanges(file, true);
}

} // namespace

// The file's configuration as the main window would send it after opening
// the file: a set-point code no switch offers is refused (the window resets
// it to "Откл." with this message); an output source outside the switch
// becomes "none", as it does there without a word.
ModuleConfig ConfigToWrite(const QString& path) {
    ModuleConfig config = newConfig();
    ReadPidConfig(checkedPidFile(path), config);
    for (int n = 0; n < 3; ++n) {
        if (!modes::SetpointOffered(n, config.pid[n].w[reg::pid::InSw]))
            throw Exception(path + QStringLiteral(": ") + SetpointFaultText(n));
    }
    if (config.SwOut != uint16_t(reg::source::None) && modes::OutputSource.itemOf(config.SwOut) < 0)
        config.SwOut = static_cast<uint16_t>(reg::source::None);
    return config;
}

int ReadConfig(const Invocation& inv, const Report& report, bool severalStations) {
    ModuleConfig config = newConfig();
    const ConfigRead read = ReadConfiguration(config);
    const QString path = severalStations ? StationFile(inv.arguments.value(0), PortSettings.address)
                                         : inv.arguments.value(0);
    SavePidFile(path, config);
    report.out(QStringLiteral("Конфигурация прочитана: ") + RegisterCount(read.registers) +
               QStringLiteral(", ") + path);
    return Success;
}

int WriteConfig(const Invocation& inv, const ModuleConfig& file, const Report& report) {
    ModuleConfig config = file;
    if (inv.changedOnly && !inv.dryRun) {
        const auto changes = ModuleChanges(config, true);
        if (changes.empty()) {
            report.out(QStringLiteral("Изменений нет"));
            return Success;
        }
        const int written = WriteChanges(config, changes);
        report.out(QStringLiteral("Изменения записаны: ") + RegisterCount(written));
        return Success;
    }
    if (inv.dryRun) {
        const auto changes = differences(config);
        for (const ConfigDifference& d : changes)
            report.out(differenceLine(d));
        if (changes.empty()) report.out(QStringLiteral("Изменений нет"));
        return Success;
    }
    // The file has no module mode: the module keeps its own.
    config.io[io::ModuleMode] = ReadRegister(reg::ModuleMode);
    const int written = WriteConfiguration(config);
    report.out(QStringLiteral("Конфигурация записана: ") + RegisterCount(written));
    return Success;
}

int DiffConfig(const ModuleConfig& file, const Report& report, bool several) {
    const auto changes = differences(file);
    for (const ConfigDifference& d : changes)
        report.out(differenceLine(d));
    // Over a list every station answers; alone, silence means equal, as diff does.
    if (changes.empty() && several) report.out(QStringLiteral("Различий нет"));
    return changes.empty() ? Success : Failed;
}

} // namespace qmt::cli
