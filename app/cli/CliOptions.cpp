#include "cli/CliOptions.h"

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
    {"write-config", "--dry-run", false}, {"values", "--period", true},
    {"values", "--count", true},          {"values", "--log", true},
    {"values", "--overwrite", false},     {"set", "--protected", false},
    {"search", "--version", true},        {"search", "--serial", true},
    {"restarts", "--clear", false},
};

// How many arguments each command takes besides its options: at least, at most.
struct Arity {
    const char* command;
    int min, max;
};
const Arity Arities[] = {{"read-config", 1, 1}, {"write-config", 1, 1}, {"diff", 1, 1},
                         {"values", 0, 0},      {"get", 1, 1},          {"set", 2, 2},
                         {"search", 0, 0},      {"restarts", 0, 0}};

QString applyCommandOption(const QString& name, const QString& value, Invocation& out) {
    if (name == QLatin1String("--dry-run")) {
        out.dryRun = true;
    } else if (name == QLatin1String("--period")) {
        const auto ms = wholeNumber(value, 1, std::numeric_limits<int>::max());
        if (!ms) return QStringLiteral("--period needs whole milliseconds, at least 1");
        out.periodMs = static_cast<int>(*ms);
    } else if (name == QLatin1String("--count")) {
        const auto n = wholeNumber(value, 1, std::numeric_limits<int>::max());
        if (!n) return QStringLiteral("--count needs a number of cycles, at least 1");
        out.count = *n;
    } else if (name == QLatin1String("--log")) {
        if (value.isEmpty()) return QStringLiteral("--log needs a file name");
        out.logFile = value;
    } else if (name == QLatin1String("--overwrite")) {
        out.overwrite = true;
    } else if (name == QLatin1String("--protected")) {
        out.protectedWrite = true;
    } else if (name == QLatin1String("--version")) {
        if (value != QLatin1String("QMT-584") && value != QLatin1String("QMT-584.1"))
            return QStringLiteral("--version needs QMT-584 or QMT-584.1");
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

std::optional<uint8_t> ParseParity(const QString& text) {
    static const char* const names[] = {"none", "odd", "even"};
    for (uint8_t i = 0; i < 3; ++i)
        if (text == QLatin1String(names[i])) return i;
    return std::nullopt;
}

QString ParityName(uint8_t parity) {
    static const char* const names[] = {"none", "odd", "even"};
    return parity < 3 ? QLatin1String(names[parity]) : QString::number(parity);
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
            if (!Commands().contains(arg)) return QStringLiteral("unknown command '%1'").arg(arg);
            out.command = arg;
            break;
        }
        const bool known = arg == QLatin1String("--port") || arg == QLatin1String("--baud") ||
                           arg == QLatin1String("--parity") ||
                           arg == QLatin1String("--address") ||
                           arg == QLatin1String("--settings");
        if (!known) return QStringLiteral("unknown option '%1'").arg(arg);
        if (!valueOf(value)) return QStringLiteral("option '%1' needs a value").arg(arg);
        if (arg == QLatin1String("--port")) {
            if (value.isEmpty()) return QStringLiteral("--port needs a port name");
            out.port = value;
        } else if (arg == QLatin1String("--baud")) {
            const auto baud = wholeNumber(value, 1, std::numeric_limits<int32_t>::max());
            if (!baud) return QStringLiteral("--baud needs a rate in bit/s");
            out.baud = static_cast<int32_t>(*baud);
        } else if (arg == QLatin1String("--parity")) {
            out.parity = ParseParity(value);
            if (!out.parity) return QStringLiteral("--parity needs none, odd or even");
        } else if (arg == QLatin1String("--address")) {
            const auto stations = ParseStations(value);
            if (!stations) return QStringLiteral("--address needs stations 1 to 247, as 1,3,5-9");
            out.stations = *stations;
        } else {
            out.settingsFile = value;
        }
    }
    if (out.command.isEmpty()) return QStringLiteral("a command is needed");

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
            return QStringLiteral("%1 takes no option '%2'").arg(out.command, arg);
        QString value;
        if (it->value && !valueOf(value))
            return QStringLiteral("option '%1' needs a value").arg(arg);
        const QString error = applyCommandOption(arg, value, out);
        if (!error.isEmpty()) return error;
    }

    const auto arity =
        std::find_if(std::begin(Arities), std::end(Arities),
                     [&](const Arity& a) { return out.command == QLatin1String(a.command); });
    if (out.arguments.size() < arity->min) return out.command + QStringLiteral(": too few arguments");
    if (out.arguments.size() > arity->max) return out.command + QStringLiteral(": too many arguments");
    const bool perStation = out.command == QLatin1String("read-config") ||
                            out.command == QLatin1String("write-config") ||
                            out.command == QLatin1String("diff");
    if (!perStation && out.stations.size() > 1)
        return out.command + QStringLiteral(" talks to one station: --address N");
    if (out.command == QLatin1String("search") &&
        (out.moduleVersion.isEmpty() || out.serialNumber.isEmpty()))
        return QStringLiteral("search needs --version QMT-584|QMT-584.1 and --serial, as C0015");
    return QString();
}

} // namespace qmt::cli
