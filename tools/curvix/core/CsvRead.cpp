#include "core/CsvRead.h"

#include "common/Cp1251.h"
#include "core/ValueLog.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>
#include <utility>

namespace curvix {
namespace {

QString decode(const QByteArray& bytes) {
    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF")) body.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(body);
    // Not UTF-8: a spreadsheet of a Russian Windows saves in its code page.
    if (utf8.hasError()) text = qmt::fromCp1251(body);
    return text;
}

// Fields of one line; a quoted field may hold the separator and doubled quotes.
QStringList splitFields(const QString& line, QChar sep) {
    QStringList out;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c != QLatin1Char('"'))
                field += c;
            else if (i + 1 < line.size() && line[i + 1] == QLatin1Char('"'))
                field += line[++i];
            else
                quoted = false;
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == sep) {
            out << field;
            field.clear();
        } else {
            field += c;
        }
    }
    out << field;
    return out;
}

bool parseNumber(QString text, bool commaDecimal, double& v) {
    text = text.trimmed();
    if (commaDecimal) text.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    v = text.toDouble(&ok);
    return ok;
}

// Local date and time: "31.12.2026 23:59:58,120" (the export), ISO
// "2026-12-31 23:59:58.12" or with a T; seconds and fraction may be left out.
bool parseDateTime(const QString& text, int64_t& ms) {
    static const QRegularExpression ru(
        QStringLiteral("^(\\d{1,2})\\.(\\d{1,2})\\.(\\d{4})[ "
                       "T]+(\\d{1,2}):(\\d{2})(?::(\\d{2})(?:[.,](\\d{1,9}))?)?$"));
    static const QRegularExpression iso(
        QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})[ "
                       "T]+(\\d{1,2}):(\\d{2})(?::(\\d{2})(?:[.,](\\d{1,9}))?)?$"));
    const QString t = text.trimmed();
    auto m = ru.match(t);
    int day, month, year;
    if (m.hasMatch()) {
        day = m.captured(1).toInt();
        month = m.captured(2).toInt();
        year = m.captured(3).toInt();
    } else {
        m = iso.match(t);
        if (!m.hasMatch()) return false;
        year = m.captured(1).toInt();
        month = m.captured(2).toInt();
        day = m.captured(3).toInt();
    }
    const QString fraction = (m.captured(7) + QStringLiteral("000")).left(3);
    const QDate date(year, month, day);
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt(),
                     fraction.toInt());
    if (!date.isValid() || !time.isValid()) return false;
    ms = QDateTime(date, time, Qt::LocalTime).toMSecsSinceEpoch();
    return true;
}

bool parseTime(const QString& text, TimeBase base, bool commaDecimal, int64_t& ms) {
    if (base == TimeBase::LocalTime) return parseDateTime(text, ms);
    double s = 0;
    if (!parseNumber(text, commaDecimal, s) || !std::isfinite(s) || std::fabs(s) > 1e12)
        return false;
    ms = std::llround(s * 1000.0);
    return true;
}

} // namespace

CsvTable parseCsv(const QByteArray& bytes) {
    CsvTable table;
    const QString text = decode(bytes);
    const QStringList lines = text.split(QLatin1Char('\n'));
    QChar sep;
    bool haveBase = false;
    std::size_t width = 0;
    std::vector<float> row;
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QString line = lines[n];
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        if (line.trimmed().isEmpty()) continue;
        if (line.startsWith(QLatin1Char('#'))) {
            if (sep.isNull()) table.comments << line;
            continue;
        }
        if (sep.isNull()) {
            // The header: ';' when it has any, else ','.
            sep = line.contains(QLatin1Char(';')) ? QLatin1Char(';') : QLatin1Char(',');
            QStringList head = splitFields(line, sep);
            // A trailing separator names no column.
            while (head.size() > 1 && head.back().trimmed().isEmpty())
                head.removeLast();
            if (head.size() < 2) {
                table.error =
                    QStringLiteral("Строка %1 не заголовок таблицы: нет столбцов значений")
                        .arg(n + 1);
                return table;
            }
            for (qsizetype c = 1; c < head.size(); ++c)
                table.names << head[c].trimmed();
            width = std::size_t(table.names.size());
            table.columns.resize(width);
            row.resize(width);
            continue;
        }
        QStringList parts = splitFields(line, sep);
        // A trailing separator leaves one empty field more.
        if (std::size_t(parts.size()) == width + 2 && parts.back().trimmed().isEmpty())
            parts.removeLast();
        bool ok = std::size_t(parts.size()) == width + 1;
        if (ok && !haveBase) {
            int64_t probe = 0;
            // The first good row tells seconds from a date and time.
            if (parseTime(parts[0], TimeBase::Elapsed, sep == QLatin1Char(';'), probe))
                table.base = TimeBase::Elapsed;
            else if (parseDateTime(parts[0], probe))
                table.base = TimeBase::LocalTime;
            else
                ok = false;
            haveBase = ok;
        }
        int64_t ms = 0;
        ok = ok && parseTime(parts[0], table.base, sep == QLatin1Char(';'), ms);
        for (std::size_t c = 0; ok && c < width; ++c) {
            const QString field = parts[qsizetype(c) + 1].trimmed();
            double v = NAN;
            ok = field.isEmpty() || parseNumber(field, sep == QLatin1Char(';'), v);
            row[c] = float(v);
        }
        if (!ok) {
            if (table.skipped++ == 0) table.firstSkipped = n + 1;
            continue;
        }
        table.timesMs.push_back(ms);
        for (std::size_t c = 0; c < width; ++c)
            table.columns[c].push_back(row[c]);
    }
    if (sep.isNull()) table.error = QStringLiteral("Файл пуст: нет строки заголовка");
    return table;
}

namespace {

bool looksLikeCsv(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF")) return true;
    // The first line that is not blank or a comment: a value log has no separators.
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', pos);
        if (end < 0) end = bytes.size();
        const QByteArray line = bytes.mid(pos, end - pos).trimmed();
        pos = end + 1;
        if (line.isEmpty()) continue;
        if (line.startsWith('#')) return true;
        return line.contains(';') || line.contains(',');
    }
    return false;
}

} // namespace

FileLoad loadDataFile(const QByteArray& bytes, Dataset& into) {
    FileLoad result;
    if (!looksLikeCsv(bytes)) {
        const ValueLog log = parseValueLog(bytes);
        if (!log.error.isEmpty()) {
            result.error = log.error;
            return result;
        }
        into.reset(TimeBase::Elapsed);
        into.setFromFile(true);
        loadValueLog(log, into);
        result.channels = int(log.names.size());
        result.rows = int64_t(log.timesMs.size());
        result.skipped = log.skipped;
        result.firstSkipped = log.firstSkipped;
    } else {
        const CsvTable table = parseCsv(bytes);
        if (!table.error.isEmpty()) {
            result.error = table.error;
            return result;
        }
        into.reset(table.base);
        into.setFromFile(true);
        std::vector<Channel*> channels;
        for (int c = 0; c < table.names.size(); ++c) {
            Channel& ch = into.channel(c + 1, table.names[c]);
            ch.announced = true;
            channels.push_back(&ch);
        }
        // An empty field is no sample: the curve runs on to the next one.
        for (std::size_t i = 0; i < table.timesMs.size(); ++i)
            for (std::size_t c = 0; c < channels.size(); ++c)
                if (!std::isnan(table.columns[c][i]))
                    into.addSample(*channels[c], table.timesMs[i], table.columns[c][i]);
        result.csv = true;
        result.channels = int(table.names.size());
        result.rows = int64_t(table.timesMs.size());
        result.skipped = table.skipped;
        result.firstSkipped = table.firstSkipped;
    }
    into.counters().skippedLines = result.skipped;
    into.counters().firstSkippedLine = result.firstSkipped;
    return result;
}

FileLoad loadDataFile(const QString& path, Dataset& into) {
    return loadDataFile(path, into, LoadProgress());
}

FileLoad loadDataFile(const QString& path, Dataset& into, const LoadProgress& progress) {
    FileLoad result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("Не удаётся открыть файл ") + path;
        return result;
    }
    // Reading takes the first half of the bar, parsing the rest.
    const auto report = [&](int percent) {
        result.cancelled = result.cancelled || (progress && !progress(percent));
        return !result.cancelled;
    };
    QByteArray bytes;
    const qint64 size = file.size();
    constexpr qint64 kPiece = 1 << 20;
    if (size > 0) bytes.reserve(size);
    while (!file.atEnd()) {
        const QByteArray piece = file.read(kPiece);
        if (piece.isEmpty()) break;
        bytes += piece;
        if (!report(size > 0 ? int(std::min<qint64>(bytes.size(), size) * 50 / size) : 50))
            return result;
    }
    if (file.error() != QFileDevice::NoError) {
        result.error = QStringLiteral("Не удаётся прочитать файл ") + path;
        return result;
    }
    Dataset loaded;
    result = loadDataFile(bytes, loaded);
    if (!result.error.isEmpty()) {
        result.error = path + QStringLiteral(":\n") + result.error;
        return result;
    }
    if (!report(100)) return result;
    into = std::move(loaded);
    return result;
}

} // namespace curvix
