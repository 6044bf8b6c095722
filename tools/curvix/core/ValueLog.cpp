#include "core/ValueLog.h"

#include "common/Cp1251.h"

#include <QRegularExpression>

#include <cmath>

namespace curvix {
namespace {

constexpr int kField = 9;

bool parseCell(const QString& text, bool hex, float& value) {
    bool ok = false;
    if (hex) {
        const uint v = text.toUInt(&ok, 16);
        if (ok && v <= 0xFFFF) value = float(v);
        return ok && v <= 0xFFFF;
    }
    const int i = text.toInt(&ok, 10);
    if (ok) {
        value = float(i);
        return true;
    }
    // Not written by the program, but a fractional cell is still a number.
    QString t = text;
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    const double d = t.toDouble(&ok);
    if (ok) value = float(d);
    return ok;
}

// Fields split at blanks; a line whose fields touch (a text of 9 characters or
// more right after another) is cut at the 9-character grid instead.
QStringList fields(const QString& line, int expected) {
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    QStringList parts = line.split(blanks, Qt::SkipEmptyParts);
    if (parts.size() == expected || line.size() != expected * kField) return parts;
    QStringList grid;
    for (int i = 0; i < expected; ++i)
        grid << line.mid(i * kField, kField).trimmed();
    return grid;
}

} // namespace

bool parseElapsed(const QString& text, int64_t& ms) {
    static const QRegularExpression form(QStringLiteral("^(-?)(\\d{1,12})(?:[,.](\\d{1,3}))?$"));
    const auto m = form.match(text);
    if (!m.hasMatch()) return false;
    QString fraction = m.captured(3);
    while (fraction.size() < 3)
        fraction += QLatin1Char('0');
    const int64_t value = m.captured(2).toLongLong() * 1000 + fraction.toLongLong();
    ms = m.captured(1).isEmpty() ? value : -value;
    return true;
}

ValueLog parseValueLog(const QByteArray& bytes) {
    ValueLog log;
    std::vector<bool> hex;
    bool haveHeader = false;
    int64_t lineNo = 0;
    qsizetype pos = 0;
    std::vector<float> row;
    while (pos < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', pos);
        if (end < 0) end = bytes.size();
        qsizetype stop = end;
        if (stop > pos && bytes[stop - 1] == '\r') --stop;
        const std::string_view raw(bytes.constData() + pos, static_cast<std::size_t>(stop - pos));
        pos = end + 1;
        ++lineNo;
        const QString line = qmt::fromCp1251(raw);
        if (line.trimmed().isEmpty()) continue;
        if (!haveHeader) {
            const QStringList head = fields(line, -1);
            if (head.isEmpty() || head.front() != QStringLiteral("Время")) {
                log.error = QStringLiteral("Строка %1 не заголовок журнала значений").arg(lineNo);
                return log;
            }
            haveHeader = true;
            log.names = head.mid(1);
            for (const QString& name : log.names)
                hex.push_back(name.startsWith(QStringLiteral("STATE")));
            log.columns.resize(static_cast<std::size_t>(log.names.size()));
            row.resize(log.columns.size());
            continue;
        }
        const QStringList parts = fields(line, int(log.names.size()) + 1);
        bool ok = parts.size() == log.names.size() + 1;
        int64_t ms = 0;
        ok = ok && parseElapsed(parts[0], ms);
        for (std::size_t c = 0; ok && c < row.size(); ++c)
            ok = parseCell(parts[int(c) + 1], hex[c], row[c]);
        if (!ok) {
            if (log.skipped++ == 0) log.firstSkipped = lineNo;
            continue;
        }
        log.timesMs.push_back(ms);
        for (std::size_t c = 0; c < row.size(); ++c)
            log.columns[c].push_back(row[c]);
    }
    if (!haveHeader) log.error = QStringLiteral("Файл пуст: нет строки заголовка");
    return log;
}

void loadValueLog(const ValueLog& log, Dataset& into) {
    std::vector<Channel*> channels;
    for (int c = 0; c < log.names.size(); ++c) {
        Channel& ch = into.channel(c + 1, log.names[c]);
        ch.announced = true;
        channels.push_back(&ch);
    }
    for (std::size_t i = 0; i < log.timesMs.size(); ++i)
        for (std::size_t c = 0; c < channels.size(); ++c)
            into.addSample(*channels[c], log.timesMs[i], log.columns[c][i]);
}

} // namespace curvix
