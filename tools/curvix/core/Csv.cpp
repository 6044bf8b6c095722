#include "core/Csv.h"

#include <QDateTime>
#include <QIODevice>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

namespace curvix {

QString csvField(const QString& field) {
    if (!field.contains(QLatin1Char(';')) && !field.contains(QLatin1Char('"')) &&
        !field.contains(QLatin1Char('\n')))
        return field;
    QString q = field;
    q.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QString csvTime(TimeBase base, int64_t ms) {
    if (base == TimeBase::LocalTime)
        return QDateTime::fromMSecsSinceEpoch(ms).toString(
            QStringLiteral("dd.MM.yyyy hh:mm:ss,zzz"));
    const bool negative = ms < 0;
    const int64_t a = negative ? -ms : ms;
    const int64_t fraction = a % 1000;
    QString text = QString::number(a / 1000) + QLatin1Char(',');
    // Hundredths, as the log has them, unless milliseconds matter.
    if (fraction % 10 == 0)
        text += QStringLiteral("%1").arg(fraction / 10, 2, 10, QLatin1Char('0'));
    else
        text += QStringLiteral("%1").arg(fraction, 3, 10, QLatin1Char('0'));
    return negative ? QLatin1Char('-') + text : text;
}

QString csvNumber(float value) {
    if (!std::isfinite(value)) return QString();
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    text.replace(QLatin1Char('.'), QLatin1Char(','));
    return text;
}

bool writeCsv(const Dataset& data, int64_t t0, int64_t t1, QIODevice& out,
              const CsvOptions& options) {
    std::vector<const Channel*> channels;
    for (const Channel* c : data.channels())
        if (options.ids.empty() ||
            std::find(options.ids.begin(), options.ids.end(), c->id) != options.ids.end())
            channels.push_back(c);
    QString text = QStringLiteral("\xFEFF");
    for (const QString& line : options.comments)
        text += line + QStringLiteral("\r\n");
    text += QStringLiteral("Время");
    for (const Channel* c : channels)
        text += QLatin1Char(';') + csvField(c->name);
    text += QStringLiteral("\r\n");

    std::vector<int64_t> next, end;
    for (const Channel* c : channels) {
        next.push_back(c->samples.lowerBound(t0));
        end.push_back(c->samples.upperBound(t1));
    }
    QByteArray chunk;
    auto flush = [&](bool force) {
        chunk += text.toUtf8();
        text.clear();
        if (!force && chunk.size() < (1 << 16)) return true;
        const bool ok = out.write(chunk) == chunk.size();
        chunk.clear();
        return ok;
    };
    for (;;) {
        // Rows follow the drawing order; a row holds the samples sent with one stamp.
        int64_t t = std::numeric_limits<int64_t>::max(), sent = 0;
        for (std::size_t k = 0; k < channels.size(); ++k) {
            if (next[k] >= end[k]) continue;
            const int64_t tk = channels[k]->samples.time(next[k]);
            if (tk < t) {
                t = tk;
                sent = channels[k]->samples.sentTime(next[k]);
            }
        }
        if (t == std::numeric_limits<int64_t>::max()) break;
        text += csvTime(data.timeBase(), sent);
        for (std::size_t k = 0; k < channels.size(); ++k) {
            text += QLatin1Char(';');
            const Series& s = channels[k]->samples;
            // One sample per channel and row: repeated stamps give further rows.
            if (next[k] < end[k] && s.time(next[k]) == t && s.sentTime(next[k]) == sent)
                text += csvNumber(s.value(next[k]++));
        }
        text += QStringLiteral("\r\n");
        if (text.size() > 8192 && !flush(false)) return false;
    }
    return flush(true);
}

} // namespace curvix
