#include "core/Measure.h"

#include "core/Csv.h"

#include <QRegularExpression>

#include <algorithm>
#include <map>

namespace curvix {

RangeStats rangeStats(const Series& s, int64_t t0, int64_t t1) {
    RangeStats r;
    if (s.empty() || t1 < t0) return r;
    const int64_t a = s.lowerBound(t0), b = s.upperBound(t1);
    const Moments m = s.moments(a, b);
    float lo = 0, hi = 0;
    if (m.count == 0 || !s.minMax(a, b, lo, hi)) return r;
    r.count = m.count;
    r.min = lo;
    r.max = hi;
    r.mean = m.mean;
    r.rms = std::sqrt(std::max(m.m2, 0.0) / double(m.count));
    r.peakToPeak = double(hi) - double(lo);
    return r;
}

std::vector<RegulatorPair> regulatorPairs(const Dataset& data) {
    std::vector<RegulatorPair> pairs;
    auto has = [&](const Channel* c) { return c && !c->samples.empty(); };
    if (!data.fromFile()) {
        // The program's table: regulator n's rows r = 1..7 as ids 7(n-1)+r.
        for (int n = 1; n <= 3; ++n) {
            const int32_t sp = 7 * (n - 1) + 1, pv = 7 * (n - 1) + 2;
            if (has(data.find(sp)) && has(data.find(pv))) pairs.push_back({n, sp, pv});
        }
        return pairs;
    }
    static const QRegularExpression form(QStringLiteral("^X([sm])\\(k\\)(\\d{1,3})$"));
    std::map<int, std::pair<int32_t, int32_t>> byNumber;
    for (const Channel* c : data.channels()) {
        const auto m = form.match(c->name.trimmed());
        if (!m.hasMatch() || !has(c)) continue;
        auto& slot = byNumber.try_emplace(m.captured(2).toInt(), 0, 0).first->second;
        int32_t& id = m.captured(1) == QLatin1String("s") ? slot.first : slot.second;
        if (id == 0) id = c->id; // a repeated column name: the first one counts
    }
    for (const auto& [n, ids] : byNumber)
        if (ids.first != 0 && ids.second != 0) pairs.push_back({n, ids.first, ids.second});
    return pairs;
}

Measurements measure(const Dataset& data, int64_t t0, int64_t t1, const std::vector<int32_t>& ids) {
    Measurements out;
    out.t0 = t0;
    out.t1 = t1;
    auto wanted = [&](int32_t id) {
        return ids.empty() || std::find(ids.begin(), ids.end(), id) != ids.end();
    };
    for (const Channel* c : data.channels())
        if (wanted(c->id)) out.channels.push_back({c->id, c->name, rangeStats(c->samples, t0, t1)});
    for (const RegulatorPair& p : regulatorPairs(data)) {
        if (!wanted(p.setPointId) || !wanted(p.processId)) continue;
        out.steps.push_back({p, stepResponse(data.find(p.setPointId)->samples,
                                             data.find(p.processId)->samples, t0, t1)});
    }
    return out;
}

QString measureNumber(double value) {
    if (!std::isfinite(value)) return QStringLiteral("—");
    QString text = QString::number(value, 'g', 6);
    text.replace(QLatin1Char('.'), QLatin1Char(','));
    return text;
}

QString measureSeconds(double ms) {
    if (!std::isfinite(ms)) return QStringLiteral("—");
    QString text = QString::number(ms / 1000.0, 'f', 3);
    text.replace(QLatin1Char('.'), QLatin1Char(','));
    return text;
}

QStringList measurementComments(const Dataset& data, const Measurements& m) {
    QStringList lines;
    const TimeBase base = data.timeBase();
    lines << QStringLiteral("# Диапазон;%1;%2;%3 с")
                 .arg(csvTime(base, data.sentTime(m.t0)), csvTime(base, data.sentTime(m.t1)),
                      measureSeconds(double(m.t1 - m.t0)));
    if (!m.channels.empty()) {
        lines << QStringLiteral("# Канал;Минимум;Максимум;Среднее;СКО;Размах;Отсчётов");
        for (const ChannelStats& c : m.channels) {
            const RangeStats& s = c.stats;
            lines << QStringLiteral("# %1;%2;%3;%4;%5;%6;%7")
                         .arg(c.name, measureNumber(s.min), measureNumber(s.max),
                              measureNumber(s.mean), measureNumber(s.rms),
                              measureNumber(s.peakToPeak))
                         .arg(s.count);
        }
    }
    if (!m.steps.empty())
        lines << QStringLiteral("# Регулятор;Уставка;Обр. связь;Скачок;Нарастание 10–90 %, с;"
                                "Перерегулирование, %;Установление ±2 %, с;"
                                "Установление ±5 %, с;Статическая ошибка");
    for (const RegulatorStep& r : m.steps) {
        const Channel* sp = data.find(r.pair.setPointId);
        const Channel* pv = data.find(r.pair.processId);
        QString line = QStringLiteral("# ПИД%1;%2;%3;")
                           .arg(r.pair.regulator)
                           .arg(sp ? sp->name : QString(), pv ? pv->name : QString());
        const StepFigures& f = r.figures;
        if (!f.found) {
            lines << line + f.problem;
            continue;
        }
        lines << line + QStringLiteral("%1 → %2 (%3);%4;%5;%6;%7;%8")
                            .arg(measureNumber(f.from), measureNumber(f.to), measureNumber(f.size),
                                 measureSeconds(f.riseMs), measureNumber(f.overshootPct),
                                 measureSeconds(f.settle2Ms), measureSeconds(f.settle5Ms),
                                 measureNumber(f.steadyError));
    }
    return lines;
}

} // namespace curvix
