#include "cli/CliRun.h"

#include "common/Seams.h"
#include "config/ConfigTransfer.h"
#include "config/ModuleConfig.h"
#include "config/PidFile.h"
#include "link/Errors.h"
#include "link/IniFile.h"
#include "link/Library.h"
#include "link/ModuleSearch.h"
#include "link/PortSettings.h"
#include "link/RegisterAccess.h"
#include "link/RegisterMap.h"
#include "link/Settings.h"

#include <QCoreApplication>
#include <QDir>

#include <algorithm>
#include <cstdio>

#include <unistd.h>

namespace qmt::cli {
namespace {

constexpr int MaxReadCount = 125; // registers in one Modbus read

void writeLine(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fprintf(stream, "%s\n", bytes.constData());
    std::fflush(stream);
}

// The registers that take a write only behind the write-enable code.
bool protectedRegister(uint16_t address) {
    return address == reg::SerialNumber || address == reg::ManufactureDate ||
           (address >= reg::CoefficientBlock(0) &&
            address < reg::CoefficientBlock(reg::CoefficientBlockCount)) ||
           (address >= reg::InputIntegrationTime(0) && address <= reg::ModuleMode);
}

int get(const Invocation& inv, const Report& report) {
    for (int start = inv.firstRegister; start <= inv.lastRegister; start += MaxReadCount) {
        const int count = std::min(MaxReadCount, inv.lastRegister - start + 1);
        uint16_t words[MaxReadCount];
        ReadRegisters(static_cast<uint16_t>(start), static_cast<uint16_t>(count), words);
        for (int k = 0; k < count; ++k)
            report.out(QStringLiteral("%1 %2").arg(start + k).arg(words[k]));
    }
    return Success;
}

int set(const Invocation& inv) {
    try {
        if (inv.protectedWrite)
            WriteProtectedRegister(inv.firstRegister, inv.value);
        else
            WriteRegister(inv.firstRegister, inv.value);
    } catch (ECommError& error) {
        // The module refuses such a write with "illegal value", which says
        // nothing of the code it wanted first.
        if (error.status() == 3 && !inv.protectedWrite && protectedRegister(inv.firstRegister))
            error.setMessage(QStringLiteral("%1: регистр %2 защищён, запись только с --protected")
                                 .arg(error.message())
                                 .arg(inv.firstRegister));
        throw;
    }
    return Success;
}

int restarts(const Invocation& inv, const Report& report) {
    if (inv.clear) {
        ClearRestartCounter();
        report.out(QStringLiteral("Операция завершена успешно!"));
    } else {
        report.out(QString::number(ReadRestartCounter()));
    }
    return Success;
}

int search(const Invocation& inv, const Report& report) {
    // "C0015": the letter and the number as the port dialog takes them.
    const QString serial = inv.serialNumber.trimmed().toUpper();
    bool ok = serial.size() >= 2 && serial[0] >= QLatin1Char('A') && serial[0] <= QLatin1Char('Z');
    const uint number = ok ? serial.mid(1).toUInt(&ok, 10) : 0;
    if (!ok || number > reg::SerialNumberMask) {
        report.error(QStringLiteral("Введите  номер модуля!"));
        return UsageError;
    }
    const uint16_t code = reg::SerialCode(serial[0].unicode() - 'A', static_cast<int>(number));
    const uint16_t version =
        inv.moduleVersion == QLatin1String("QMT-584") ? reg::TypeQmt584 : reg::TypeQmt5841;
    // The port dialog's search, one combination at a time. On a terminal the
    // combination being tried stands on one line that the next overwrites;
    // a script reading standard error gets only the result.
    const bool terminal = isatty(STDERR_FILENO) == 1;
    LineSetting found;
    const int32_t status = SearchModule(
        {PortSettings.portName, version, code, PortSettings.address}, found,
        [terminal](int index, const LineSetting&) {
            if (!terminal || index < 0) return;
            std::fprintf(stderr, "\r\033[K%s",
                         qPrintable(QStringLiteral("Поиск: ") + SearchStepText(index)));
            std::fflush(stderr);
        });
    if (terminal) std::fprintf(stderr, "\r\033[K");
    const uint32_t baud = found.baud;
    const uint8_t parity = found.parity;
    switch (status) {
    case 0:
        report.out(QStringLiteral("%1 %2").arg(baud).arg(ParityName(parity)));
        return Success;
    case 14:
        report.moduleError(QStringLiteral("Модуль не найден!"));
        break;
    case 17:
        report.moduleError(
            QStringLiteral("Ошибка CRC!\n Возможно просто сбой!\nПовторите попытку!"));
        break;
    default: // the port would not open at some setting
        report.error(QStringLiteral("Невозможно открыть ") + PortSettings.portName);
        break;
    }
    return Failed;
}

// One station's command; its failures end it, never the run.
int guardedCommand(const std::function<int()>& command, const Report& report) {
    try {
        return command();
    } catch (const ECommError& error) {
        report.moduleError(error.message());
    } catch (const Exception& error) {
        report.error(error.message());
    } catch (const std::exception& error) {
        report.error(QString::fromUtf8(error.what()));
    }
    return Failed;
}

// The line settings of this run; a usage error for a named settings file
// that cannot be read, which would otherwise send the run to the defaults'
// port and station.
QString settingsFor(const Invocation& inv, TPortSettings& settings) {
    const bool named = !inv.settingsFile.isEmpty();
    IniFile file(named ? inv.settingsFile : ProgramSettingsPath());
    // The program's own file: missing or unreadable gives the defaults, as there.
    switch (file.load()) {
    case IniFile::LoadStatus::Missing:
        if (named) return QStringLiteral("файл настроек %1 не найден").arg(inv.settingsFile);
        break;
    case IniFile::LoadStatus::Unreadable:
        if (named)
            return QStringLiteral("невозможно прочитать файл настроек %1").arg(inv.settingsFile);
        break;
    case IniFile::LoadStatus::Ok:
        break;
    }
    ReadPortSettings(file, settings);
    if (inv.port) settings.portName = *inv.port;
    if (inv.baud) settings.baud = *inv.baud;
    if (inv.parity) settings.parity = *inv.parity;
    if (!inv.stations.empty()) settings.address = inv.stations.front();
    return QString();
}

QString where() {
    return QStringLiteral("%1, станция %2").arg(PortSettings.portName).arg(PortSettings.address);
}

} // namespace

void Report::out(const QString& text) const {
    writeLine(stdout, prefix_ + text);
}

void Report::error(const QString& text) const {
    writeLine(stderr, prefix_ + OneLine(text));
}

void Report::moduleError(const QString& text) const {
    writeLine(stderr, where_ + QStringLiteral(": ") + OneLine(text));
}

int RefuseUsage(const QString& what) {
    writeLine(stderr,
              QStringLiteral("qmt584-cli: %1 (qmt584-cli --help: команды и параметры)").arg(what));
    return UsageError;
}

QString ProgramSettingsPath() {
    // The program is installed beside this tool, under its own name.
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/QMT584_View");
    return SettingsFilePathFor(program, qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::homePath());
}

QString StationFile(const QString& path, int station) {
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    const QString suffix = QStringLiteral("-%1").arg(station);
    if (dot <= slash + 1) return path + suffix;
    return path.left(dot) + suffix + path.mid(dot);
}

int Run(const Invocation& inv) {
    const QString settingsError = settingsFor(inv, PortSettings);
    if (!settingsError.isEmpty()) return RefuseUsage(settingsError);
    // The library probes a network port at once at every setting and finds nothing.
    if (inv.command == QLatin1String("search") && IsNetworkPort(PortSettings.portName))
        return RefuseUsage(
            QStringLiteral(
                "search: поиск модуля возможен только на последовательной линии, а %1 — сетевой порт")
                .arg(PortSettings.portName));
    const bool perStation = inv.command == QLatin1String("read-config") ||
                            inv.command == QLatin1String("write-config") ||
                            inv.command == QLatin1String("diff");
    // A file that cannot be used stops the run before any station is touched.
    ModuleConfig file;
    if (perStation && inv.command != QLatin1String("read-config")) {
        try {
            file = ConfigToWrite(inv.arguments.value(0));
        } catch (const Exception& error) {
            Report(QString(), QString()).error(error.message());
            return Failed;
        }
    }

    const Report plain(QString(), where());
    if (!BindLibrary()) return Failed; // the message is on standard error
    const TraceFile trace(inv.traceFile);
    if (!trace.error().isEmpty()) {
        plain.error(trace.error());
        return Failed;
    }
    // The search opens the port at every setting by itself.
    if (inv.command == QLatin1String("search"))
        return guardedCommand([&] { return search(inv, plain); }, plain);
    if (!OpenPort(PortSettings.portName, PortSettings.baud, PortSettings.parity)) return Failed;

    if (!perStation) {
        return guardedCommand(
            [&] {
                if (inv.command == QLatin1String("get")) return get(inv, plain);
                if (inv.command == QLatin1String("set")) return set(inv);
                if (inv.command == QLatin1String("restarts")) return restarts(inv, plain);
                if (inv.command == QLatin1String("scan")) return Scan(inv, plain);
                if (inv.command == QLatin1String("tune")) return Tune(inv, plain);
                return Values(inv, plain);
            },
            plain);
    }
    const std::vector<uint8_t> stations =
        inv.stations.empty() ? std::vector<uint8_t>{PortSettings.address} : inv.stations;
    const bool several = stations.size() > 1;
    int result = Success;
    for (uint8_t station : stations) {
        PortSettings.address = station;
        const Report report(several ? QStringLiteral("станция %1: ").arg(station) : QString(),
                            where());
        const int code = guardedCommand(
            [&] {
                if (inv.command == QLatin1String("read-config"))
                    return ReadConfig(inv, report, several);
                if (inv.command == QLatin1String("write-config"))
                    return WriteConfig(inv, file, report);
                return DiffConfig(file, report, several);
            },
            report);
        result = std::max(result, code);
    }
    return result;
}

} // namespace qmt::cli
