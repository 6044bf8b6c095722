#include "cli/CliOptions.h"

#include "link/PortSettings.h"

#include <algorithm>
#include <limits>

namespace qmt::cli {
namespace {

std::optional<long long> wholeNumber(const QString& text, long long min, long long max) {
    bool ok = false;
    const long long value = text.toLongLong(&ok, 10);
    if (!ok || value < min || value > max) return std::nullopt;
    return value;
}

std::optional<uint8_t> station(const QString& text) {
    const auto value = wholeNumber(text.trimmed(), 1, 247);
    if (!value) return std::nullopt;
    return static_cast<uint8_t>(*value);
}

// The options a command takes, and whether each takes a value.
struct CommandOption {
    const char* command;
    const char* name;
    bool value;
};
const CommandOption CommandOptions[] = {
    {"write-config", "--dry-run", false},
    {"write-config", "--changed", false},
    {"scan", "--from", true},
    {"scan", "--to", true},
    {"values", "--period", true},
    {"values", "--count", true},
    {"values", "--log", true},
    {"values", "--overwrite", false},
    {"set", "--protected", false},
    {"search", "--version", true},
    {"search", "--serial", true},
    {"restarts", "--clear", false},
    {"tune", "--regulator", true},        {"tune", "--step", true},
    {"tune", "--rule", true},             {"tune", "--tc", true},
    {"tune", "--max-time", true},         {"tune", "--write", false},
    {"tune", "--log", true},
};

// How many arguments each command takes besides its options: at least, at most.
struct Arity {
    const char* command;
    int min, max;
};
const Arity Arities[] = {{"read-config", 1, 1}, {"write-config", 1, 1}, {"diff", 1, 1},
                         {"values", 0, 0},      {"get", 1, 1},          {"set", 2, 2},
                         {"search", 0, 0},      {"restarts", 0, 0},     {"scan", 0, 0},
                         {"tune", 0, 0}};

// get ADDR[..ADDR] and set ADDR VALUE, read before the port is opened.
QString readRegisterArguments(Invocation& out) {
    long long first = 0, last = 0, value = 0;
    if (out.command == QLatin1String("get")) {
        const QString range = out.arguments.value(0);
        const int dots = range.indexOf(QLatin1String(".."));
        if (!ParseWholeInteger(dots < 0 ? range : range.left(dots), 0, 0xFFFF, first).isEmpty() ||
            (dots >= 0 && !ParseWholeInteger(range.mid(dots + 2), 0, 0xFFFF, last).isEmpty()) ||
            (dots >= 0 && last < first))
            return QStringLiteral("get: нужен ADDR или ADDR..ADDR, регистры от 0 до 65535");
        out.firstRegister = static_cast<uint16_t>(first);
        out.lastRegister = static_cast<uint16_t>(dots < 0 ? first : last);
    } else if (out.command == QLatin1String("set")) {
        if (!ParseWholeInteger(out.arguments.value(0), 0, 0xFFFF, first).isEmpty())
            return QStringLiteral("set: ADDR — регистр от 0 до 65535");
        const QString error = ParseWholeInteger(out.arguments.value(1), -32768, 65535, value);
        if (!error.isEmpty()) return error;
        out.firstRegister = static_cast<uint16_t>(first);
        out.value = static_cast<uint16_t>(value & 0xFFFF);
    }
    return QString();
}

QString applyCommandOption(const QString& name, const QString& value, Invocation& out) {
    // tune reads its own options (CliTune.cpp), all but the log.
    if (out.command == QLatin1String("tune") && name != QLatin1String("--log")) {
        out.options.insert(name, value);
        return QString();
    }
    if (name == QLatin1String("--dry-run")) {
        out.dryRun = true;
    } else if (name == QLatin1String("--changed")) {
        out.changedOnly = true;
    } else if (name == QLatin1String("--from") || name == QLatin1String("--to")) {
        const auto s = station(value);
        if (!s) return QStringLiteral("%1: нужен адрес станции от 1 до 247").arg(name);
        (name == QLatin1String("--from") ? out.firstStation : out.lastStation) = *s;
    } else if (name == QLatin1String("--period")) {
        const auto ms = wholeNumber(value, 1, std::numeric_limits<int>::max());
        if (!ms) return QStringLiteral("--period: нужно целое число миллисекунд, не меньше 1");
        out.periodMs = static_cast<int>(*ms);
    } else if (name == QLatin1String("--count")) {
        const auto n = wholeNumber(value, 1, std::numeric_limits<int>::max());
        if (!n) return QStringLiteral("--count: нужно целое число циклов, не меньше 1");
        out.count = *n;
    } else if (name == QLatin1String("--log")) {
        if (value.isEmpty()) return QStringLiteral("--log: нужно имя файла");
        out.logFile = value;
    } else if (name == QLatin1String("--overwrite")) {
        out.overwrite = true;
    } else if (name == QLatin1String("--protected")) {
        out.protectedWrite = true;
    } else if (name == QLatin1String("--version")) {
        if (value != QLatin1String("QMT-584") && value != QLatin1String("QMT-584.1"))
            return QStringLiteral("--version: нужно QMT-584 или QMT-584.1");
        out.moduleVersion = value;
    } else if (name == QLatin1String("--serial")) {
        out.serialNumber = value;
    } else if (name == QLatin1String("--clear")) {
        out.clear = true;
    }
    return QString();
}

} // namespace

const QStringList& Commands() {
    static const QStringList commands = [] {
        QStringList list;
        for (const Arity& a : Arities)
            list << QLatin1String(a.command);
        return list;
    }();
    return commands;
}

// The command line's words are the windows' names in lower case.
std::optional<uint8_t> ParseParity(const QString& text) {
    const QStringList names = ParityItems();
    for (int i = 0; i < names.size(); ++i)
        if (text == names[i].toLower()) return static_cast<uint8_t>(i);
    return std::nullopt;
}

QString ParityName(uint8_t parity) {
    return qmt::ParityName(parity).toLower();
}

std::optional<std::vector<uint8_t>> ParseStations(const QString& text) {
    std::vector<uint8_t> list;
    if (text.trimmed().isEmpty()) return std::nullopt;
    for (const QString& part : text.split(QLatin1Char(','))) {
        const int dash = part.indexOf(QLatin1Char('-'));
        const auto first = station(dash < 0 ? part : part.left(dash));
        const auto last = dash < 0 ? first : station(part.mid(dash + 1));
        if (!first || !last || *last < *first) return std::nullopt;
        for (int s = *first; s <= *last; ++s)
            if (std::find(list.begin(), list.end(), s) == list.end())
                list.push_back(static_cast<uint8_t>(s));
    }
    return list;
}

QString ParseInvocation(const QStringList& args, Invocation& out) {
    int i = 0;
    auto valueOf = [&args, &i](QString& value) {
        if (i + 1 >= args.size()) return false;
        value = args[++i];
        return true;
    };
    // The line settings come before the command.
    for (; i < args.size() && out.command.isEmpty(); ++i) {
        const QString arg = args[i];
        QString value;
        if (!arg.startsWith(QLatin1Char('-'))) {
            if (!Commands().contains(arg))
                return QStringLiteral("неизвестная команда «%1»").arg(arg);
            out.command = arg;
            break;
        }
        const bool known = arg == QLatin1String("--port") || arg == QLatin1String("--baud") ||
                           arg == QLatin1String("--parity") || arg == QLatin1String("--address") ||
                           arg == QLatin1String("--settings") || arg == QLatin1String("--trace");
        if (!known) return QStringLiteral("неизвестный параметр «%1»").arg(arg);
        if (!valueOf(value)) return QStringLiteral("параметру %1 нужно значение").arg(arg);
        if (arg == QLatin1String("--port")) {
            if (value.isEmpty()) return QStringLiteral("--port: нужно имя порта");
            out.port = value;
        } else if (arg == QLatin1String("--baud")) {
            const auto baud = wholeNumber(value, 1, std::numeric_limits<int32_t>::max());
            if (!baud) return QStringLiteral("--baud: нужна скорость в бит/с");
            out.baud = static_cast<int32_t>(*baud);
        } else if (arg == QLatin1String("--parity")) {
            out.parity = ParseParity(value);
            if (!out.parity) return QStringLiteral("--parity: нужно none, odd или even");
        } else if (arg == QLatin1String("--address")) {
            const auto stations = ParseStations(value);
            if (!stations)
                return QStringLiteral("--address: нужны станции от 1 до 247, например 1,3,5-9");
            out.stations = *stations;
        } else if (arg == QLatin1String("--trace")) {
            if (value.isEmpty()) return QStringLiteral("--trace: нужно имя файла");
            out.traceFile = value;
        } else {
            out.settingsFile = value;
        }
    }
    if (out.command.isEmpty()) return QStringLiteral("не указана команда");

    for (++i; i < args.size(); ++i) {
        const QString arg = args[i];
        if (!arg.startsWith(QLatin1String("--"))) {
            out.arguments << arg;
            continue;
        }
        const auto it = std::find_if(
            std::begin(CommandOptions), std::end(CommandOptions), [&](const CommandOption& o) {
                return out.command == QLatin1String(o.command) && arg == QLatin1String(o.name);
            });
        if (it == std::end(CommandOptions))
            return QStringLiteral("у команды %1 нет параметра «%2»").arg(out.command, arg);
        QString value;
        if (it->value && !valueOf(value))
            return QStringLiteral("параметру %1 нужно значение").arg(arg);
        const QString error = applyCommandOption(arg, value, out);
        if (!error.isEmpty()) return error;
    }

    const auto arity = std::find_if(std::begin(Arities), std::end(Arities), [&](const Arity& a) {
        return out.command == QLatin1String(a.command);
    });
    if (out.arguments.size() < arity->min)
        return QStringLiteral("%1: не хватает аргументов").arg(out.command);
    if (out.arguments.size() > arity->max)
        return QStringLiteral("%1: лишние аргументы").arg(out.command);
    const bool perStation = out.command == QLatin1String("read-config") ||
                            out.command == QLatin1String("write-config") ||
                            out.command == QLatin1String("diff");
    if (!perStation && out.stations.size() > 1)
        return QStringLiteral("команда %1 работает с одной станцией: --address N").arg(out.command);
    if (out.command == QLatin1String("search") &&
        (out.moduleVersion.isEmpty() || out.serialNumber.isEmpty()))
        return QStringLiteral(
            "search: нужны --version QMT-584|QMT-584.1 и --serial, например C0015");
    if (out.firstStation > out.lastStation)
        return QStringLiteral("scan: --from %1 больше --to %2")
            .arg(out.firstStation)
            .arg(out.lastStation);
    if (out.command == QLatin1String("tune")) {
        TuneOptions tune;
        return ParseTuneOptions(out, tune);
    }
    return readRegisterArguments(out);
}

QString ParseWholeInteger(const QString& text, long long min, long long max, long long& value) {
    // Not the fields' scanf reading: a prefix of a mistyped value ("12abc", "1,5")
    // must never reach a module.
    const bool hex = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    const QString digits = hex ? text.mid(2) : text;
    const int first = !hex && digits.startsWith(QLatin1Char('-')) ? 1 : 0;
    bool wellFormed = digits.size() > first;
    for (int i = first; i < digits.size() && wellFormed; ++i) {
        const QChar c = digits[i];
        const bool decimal = c >= QLatin1Char('0') && c <= QLatin1Char('9');
        const bool letter = (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
                            (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
        wellFormed = decimal || (hex && letter);
    }
    if (!wellFormed) return QStringLiteral("\" %1 \" не является целым числом").arg(text);
    bool ok = false;
    const long long number = digits.toLongLong(&ok, hex ? 16 : 10);
    if (!ok || number < min || number > max)
        return QStringLiteral("Значение %1 выходит за пределы %2 - %3!")
            .arg(text, QString::number(min), QString::number(max));
    value = number;
    return QString();
}

} // namespace qmt::cli
