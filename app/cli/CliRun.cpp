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

// A register address, decimal or with 0x.
std::optional<uint16_t> address(const QString& text) {
    bool ok = false;
    const uint value = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                           ? text.mid(2).toUInt(&ok, 16)
                           : text.toUInt(&ok, 10);
    if (!ok || value > 0xFFFF) return std::nullopt;
    return static_cast<uint16_t>(value);
}

int get(const Invocation& inv, const Report& report) {
    const QString range = inv.arguments.value(0);
    const int dots = range.indexOf(QLatin1String(".."));
    const auto first = address(dots < 0 ? range : range.left(dots));
    const auto last = dots < 0 ? first : address(range.mid(dots + 2));
    if (!first || !last || *last < *first) {
        report.error(QStringLiteral("get: ADDR or ADDR..ADDR, registers 0 to 65535"));
        return UsageError;
    }
    for (int start = *first; start <= *last; start += MaxReadCount) {
        const int count = std::min(MaxReadCount, *last - start + 1);
        uint16_t words[MaxReadCount];
        ReadRegisters(static_cast<uint16_t>(start), static_cast<uint16_t>(count), words);
        for (int k = 0; k < count; ++k)
            report.out(QStringLiteral("%1 %2").arg(start + k).arg(words[k]));
    }
    return Success;
}

int set(const Invocation& inv, const Report& report) {
    const auto target = address(inv.arguments.value(0));
    if (!target) {
        report.error(QStringLiteral("set: ADDR VALUE, a register 0 to 65535"));
        return UsageError;
    }
    uint16_t value = 0;
    try {
        // The program's own field reading and message.
        value = static_cast<uint16_t>(ParseInteger(inv.arguments.value(1), -32768, 65535) & 0xFFFF);
    } catch (const Exception& error) {
        report.error(error.message());
        return UsageError;
    }
    if (inv.protectedWrite)
        WriteProtectedRegister(*target, value);
    else
        WriteRegister(*target, value);
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
        report.error(QStringLiteral("Модуль не найден!"));
        break;
    case 17:
        report.error(QStringLiteral("Ошибка CRC!\n Возможно просто сбой!\nПовторите попытку!"));
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
    } catch (const Exception& error) {
        report.error(error.message());
    } catch (const std::exception& error) {
        report.error(QString::fromUtf8(error.what()));
    }
    return Failed;
}

TPortSettings settingsFor(const Invocation& inv) {
    TPortSettings settings;
    IniFile file(inv.settingsFile.isEmpty() ? ProgramSettingsPath() : inv.settingsFile);
    file.load(); // missing or unreadable: the defaults, as the program does
    ReadPortSettings(file, settings);
    if (inv.port) settings.portName = *inv.port;
    if (inv.baud) settings.baud = *inv.baud;
    if (inv.parity) settings.parity = *inv.parity;
    if (!inv.stations.empty()) settings.address = inv.stations.front();
    return settings;
}

} // namespace

void Report::out(const QString& text) const {
    writeLine(stdout, prefix_ + text);
}

void Report::error(const QString& text) const {
    writeLine(stderr, prefix_ + OneLine(text));
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
    PortSettings = settingsFor(inv);
    const Report plain;
    if (!BindLibrary()) return Failed; // the message is on standard error
    // The search opens the port at every setting by itself.
    if (inv.command == QLatin1String("search"))
        return guardedCommand([&] { return search(inv, plain); }, plain);
    if (!OpenPort(PortSettings.portName, PortSettings.baud, PortSettings.parity)) return Failed;

    const bool perStation = inv.command == QLatin1String("read-config") ||
                            inv.command == QLatin1String("write-config") ||
                            inv.command == QLatin1String("diff");
    if (!perStation) {
        return guardedCommand(
            [&] {
                if (inv.command == QLatin1String("get")) return get(inv, plain);
                if (inv.command == QLatin1String("set")) return set(inv, plain);
                if (inv.command == QLatin1String("restarts")) return restarts(inv, plain);
                return Values(inv, plain);
            },
            plain);
    }
    // A file that cannot be used stops the run before any station is touched.
    if (inv.command != QLatin1String("read-config")) {
        try {
            ModuleConfig defaults;
            ResetConfig(defaults);
            LoadPidFile(inv.arguments.value(0), defaults);
        } catch (const Exception& error) {
            plain.error(error.message());
            return Failed;
        }
    }
    const std::vector<uint8_t> stations =
        inv.stations.empty() ? std::vector<uint8_t>{PortSettings.address} : inv.stations;
    const bool several = stations.size() > 1;
    int result = Success;
    for (uint8_t station : stations) {
        PortSettings.address = station;
        const Report report(several ? QStringLiteral("станция %1: ").arg(station) : QString());
        const int code = guardedCommand(
            [&] {
                if (inv.command == QLatin1String("read-config"))
                    return ReadConfig(inv, report, several);
                if (inv.command == QLatin1String("write-config")) return WriteConfig(inv, report);
                return DiffConfig(inv, report, several);
            },
            report);
        result = std::max(result, code);
    }
    return result;
}

} // namespace qmt::cli
