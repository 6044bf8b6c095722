#include "export/Targets.h"

#include "cli/CliOptions.h"
#include "link/PortSettings.h"

#include <QFile>
#include <QStringList>

#include <map>

namespace qmt::exporter {
namespace {

constexpr int MinPeriodMs = 100;
constexpr int MaxPeriodMs = 3600000;
constexpr long MaxBaud = 4000000;

std::optional<long> wholeNumber(const QString& text, long min, long max) {
    bool ok = false;
    const long value = text.toLong(&ok, 10);
    if (!ok || value < min || value > max) return std::nullopt;
    return value;
}

struct Section {
    LineTarget target;
    int headerLine = 0;
    std::map<QString, int> keyLines; // lower-case key -> line number
};

class Parser {
public:
    explicit Parser(const QString& path) : name_(path) {}

    std::optional<std::vector<LineTarget>> parse(const QString& text, QString& error);

private:
    bool fail(int line, const QString& what) {
        error_ = QStringLiteral("%1:%2: %3").arg(name_).arg(line).arg(what);
        return false;
    }
    bool section(const QString& header, int line);
    bool key(const QString& key, const QString& value, int line);
    bool finish(const Section& s);

    QString name_;
    QString error_;
    std::vector<Section> sections_;
};

bool Parser::section(const QString& header, int line) {
    const QString name = header.mid(1, header.size() - 2).trimmed();
    if (!header.endsWith(QLatin1Char(']')) || name.isEmpty())
        return fail(line, QStringLiteral("a section header is [NAME], the line's name"));
    for (const Section& s : sections_)
        if (s.target.name.compare(name, Qt::CaseInsensitive) == 0)
            return fail(line, QStringLiteral("line [%1] is already named at line %2")
                                  .arg(name)
                                  .arg(s.headerLine));
    Section s;
    s.target.name = name;
    s.headerLine = line;
    sections_.push_back(s);
    return true;
}

bool Parser::key(const QString& key, const QString& value, int line) {
    if (sections_.empty())
        return fail(line, QStringLiteral("key '%1' stands before the first [line]").arg(key));
    Section& s = sections_.back();
    const QString lower = key.toLower();
    if (s.keyLines.count(lower))
        return fail(
            line,
            QStringLiteral("key '%1' is already given at line %2").arg(key).arg(s.keyLines[lower]));
    s.keyLines[lower] = line;
    LineTarget& t = s.target;
    if (lower == QLatin1String("port")) {
        if (value.isEmpty())
            return fail(line, QStringLiteral("key 'port' needs a device or tcp://HOST:PORT"));
        t.port = value;
    } else if (lower == QLatin1String("baud")) {
        const auto baud = wholeNumber(value, 50, MaxBaud);
        if (!baud)
            return fail(line,
                        QStringLiteral("key 'baud' needs bit/s, 50 to 4000000: '%1'").arg(value));
        t.baud = static_cast<int32_t>(*baud);
    } else if (lower == QLatin1String("parity")) {
        // The names, or the codes the program's own settings file holds.
        auto parity = cli::ParseParity(value.toLower());
        if (!parity) {
            const auto code = wholeNumber(value, 0, 2);
            if (code) parity = static_cast<uint8_t>(*code);
        }
        if (!parity)
            return fail(line,
                        QStringLiteral("key 'parity' needs none, odd or even: '%1'").arg(value));
        t.parity = *parity;
    } else if (lower == QLatin1String("stations")) {
        const auto stations = cli::ParseStations(value);
        if (!stations)
            return fail(line,
                        QStringLiteral("key 'stations' needs stations 1 to 247, as 1-5,7: '%1'")
                            .arg(value));
        t.stations = *stations;
    } else if (lower == QLatin1String("period_ms")) {
        const auto period = wholeNumber(value, MinPeriodMs, MaxPeriodMs);
        if (!period)
            return fail(line,
                        QStringLiteral("key 'period_ms' needs milliseconds, 100 to 3600000: '%1'")
                            .arg(value));
        t.periodMs = static_cast<int>(*period);
    } else {
        return fail(
            line,
            QStringLiteral("unknown key '%1' (port, baud, parity, stations, period_ms)").arg(key));
    }
    return true;
}

bool Parser::finish(const Section& s) {
    const LineTarget& t = s.target;
    if (t.port.isEmpty())
        return fail(s.headerLine, QStringLiteral("line [%1] lacks the key 'port'").arg(t.name));
    if (t.stations.empty())
        return fail(s.headerLine, QStringLiteral("line [%1] lacks the key 'stations'").arg(t.name));
    if (IsNetworkPort(t.port)) {
        // A gateway sets its line itself: a speed given for it is a mistake somewhere.
        for (const char* serialOnly : {"baud", "parity"}) {
            const auto it = s.keyLines.find(QLatin1String(serialOnly));
            if (it != s.keyLines.end())
                return fail(it->second, QStringLiteral("key '%1' is for serial lines only; "
                                                       "the gateway sets its own line")
                                            .arg(QLatin1String(serialOnly)));
        }
    }
    // Two pollers on one port would take each other's replies.
    for (const Section& other : sections_) {
        if (&other == &s) break;
        if (other.target.port == t.port)
            return fail(s.keyLines.at(QStringLiteral("port")),
                        QStringLiteral("key 'port': %1 is already polled by line [%2]")
                            .arg(t.port, other.target.name));
    }
    return true;
}

std::optional<std::vector<LineTarget>> Parser::parse(const QString& text, QString& error) {
    const QStringList lines = text.split(QLatin1Char('\n'));
    bool ok = true;
    for (int i = 0; ok && i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        const int number = i + 1;
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) ||
            line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            ok = section(line, number);
            continue;
        }
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0) {
            ok = fail(number, QStringLiteral("a line is [NAME], KEY=VALUE or a ; comment"));
            continue;
        }
        ok = key(line.left(eq).trimmed(), line.mid(eq + 1).trimmed(), number);
    }
    if (ok && sections_.empty()) ok = fail(1, QStringLiteral("no [line] section: nothing to poll"));
    for (size_t i = 0; ok && i < sections_.size(); ++i)
        ok = finish(sections_[i]);
    if (!ok) {
        error = error_;
        return std::nullopt;
    }
    std::vector<LineTarget> targets;
    for (const Section& s : sections_)
        targets.push_back(s.target);
    return targets;
}

} // namespace

std::optional<std::vector<LineTarget>> ParseTargets(const QString& path, const QString& text,
                                                    QString& error) {
    return Parser(path).parse(text, error);
}

std::optional<std::vector<LineTarget>> LoadTargets(const QString& path, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1: cannot read: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    return ParseTargets(path, QString::fromUtf8(file.readAll()), error);
}

} // namespace qmt::exporter
