#include "core/Measure.h"

#include "core/Csv.h"

#include <QDateTime>
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

QString instantText(const Dataset& data, int64_t t) {
    const int64_t ms = data.sentTime(t);
    if (data.timeBase() == TimeBase::LocalTime)
        return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("hh:mm:ss,zzz"));
    return csvTime(TimeBase::Elapsed, ms) + QStringLiteral(" с");
}

const FigureRow kStatRows[kStatColumns] = {
    {"Мин.", "Наименьшее значение в диапазоне между курсорами (оба края включены)"},
    {"Макс.", "Наибольшее значение в диапазоне между курсорами (оба края включены)"},
    {"Среднее", "Среднее арифметическое отсчётов диапазона"},
    {"СКО",
     "Среднеквадратичное отклонение от среднего: σ генеральной совокупности, √(Σ(x − среднее)² / N) по всем N отсчётам диапазона"},
    {"Размах", "Максимум минус минимум"},
    {"Отсчётов", "Число отсчётов в диапазоне (пропуски не считаются)"},
};

std::array<QString, kStatColumns> statTexts(const RangeStats* s) {
    const QString none = QStringLiteral("—");
    if (!s) return {none, none, none, none, none, none};
    return {measureNumber(s->min), measureNumber(s->max),        measureNumber(s->mean),
            measureNumber(s->rms), measureNumber(s->peakToPeak), QString::number(s->count)};
}

const FigureRow kStepRowTexts[kStepRows] = {
    {"Момент скачка", "Время первого отсчёта уставки на новом значении"},
    {"Уставка", "Уставка до скачка → после него"},
    {"Xm в момент скачка",
     "Обратная связь в момент скачка уставки: начальный уровень, от которого отсчитываются все показатели"},
    {"Изменение", "Новая уставка минус Xm в момент скачка"},
    {"Нарастание 10–90 %, с",
     "Время от 10 % до 90 % изменения (от Xm в момент скачка до новой уставки); пересечения уровней интерполируются между отсчётами"},
    {"Перерегулирование, %",
     "Наибольший выход Xm за новую уставку в % изменения; 0, если Xm за неё не выходит"},
    {"Установление ±2 %, с",
     "Время от скачка уставки, после которого Xm остаётся в полосе ±2 % изменения вокруг новой уставки"},
    {"Установление ±5 %, с",
     "Время от скачка уставки, после которого Xm остаётся в полосе ±5 % изменения вокруг новой уставки"},
    {"Установившийся уровень",
     "Среднее Xm за последнюю десятую часть времени от скачка до конца диапазона; «—», пока Xm ещё меняется (среднее предыдущей десятой части отличается больше чем на 0,5 % изменения)"},
    {"Статическая ошибка", "Новая уставка минус установившийся уровень"},
    {"От уровня: нарастание 10–90 %, с",
     "Для контура, установившегося не на уставке: время от 10 % до 90 % пути от Xm в момент скачка до установившегося уровня"},
    {"От уровня: перерегулирование, %",
     "Наибольший выход Xm за установившийся уровень в % пути от Xm в момент скачка до него"},
    {"От уровня: установление ±2 %, с",
     "Время от скачка уставки, после которого Xm остаётся в полосе ±2 % пути вокруг установившегося уровня"},
    {"От уровня: установление ±5 %, с",
     "Время от скачка уставки, после которого Xm остаётся в полосе ±5 % пути вокруг установившегося уровня"},
};

namespace {

QString figureText(const Figure& f, bool seconds) {
    switch (f.gap) {
    case FigureGap::None:
        return seconds ? measureSeconds(f.value) : measureNumber(f.value);
    case FigureGap::NotReached:
        return QStringLiteral("— (не достигнуто)");
    case FigureGap::RangeEnded:
        break;
    }
    return QStringLiteral("— (диапазон кончился раньше)");
}

void legTexts(const StepLegs& l, QString* out) {
    out[0] = figureText(l.rise, true);
    out[1] = figureText(l.overshoot, false);
    out[2] = figureText(l.settle2, true);
    out[3] = figureText(l.settle5, true);
}

QString caption(const FigureRow& row) {
    return QString::fromUtf8(row.caption);
}

} // namespace

std::array<QString, kStepRows> stepTexts(const Dataset& data, const StepFigures& f) {
    std::array<QString, kStepRows> t;
    t[0] = instantText(data, f.stepTime);
    t[1] = measureNumber(f.setFrom) + QStringLiteral(" → ") + measureNumber(f.target);
    t[2] = measureNumber(f.start);
    t[3] = measureNumber(f.change);
    legTexts(f.toTarget, &t[4]);
    t[8] = figureText(f.steadyLevel, false);
    t[9] = figureText(f.steadyError, false);
    if (f.offTarget)
        legTexts(f.toSteady, &t[kTargetStepRows]);
    else
        for (int i = kTargetStepRows; i < kStepRows; ++i)
            t[std::size_t(i)] = QStringLiteral("—");
    return t;
}

QStringList measurementComments(const Dataset& data, const Measurements& m) {
    QStringList lines;
    const TimeBase base = data.timeBase();
    lines << QStringLiteral("# Диапазон;%1;%2;%3 с")
                 .arg(csvTime(base, data.sentTime(m.t0)), csvTime(base, data.sentTime(m.t1)),
                      measureSeconds(double(m.t1 - m.t0)));
    if (!m.channels.empty()) {
        QString head = QStringLiteral("# Канал");
        for (const FigureRow& r : kStatRows)
            head += QLatin1Char(';') + caption(r);
        lines << head;
        for (const ChannelStats& c : m.channels) {
            const auto texts = statTexts(&c.stats);
            lines << QStringLiteral("# ") + c.name + QLatin1Char(';') +
                         QStringList(texts.begin(), texts.end()).join(QLatin1Char(';'));
        }
    }
    if (!m.steps.empty()) {
        QString head = QStringLiteral("# Регулятор;Уставка;Обр. связь");
        for (const FigureRow& r : kStepRowTexts)
            head += QLatin1Char(';') + caption(r);
        lines << head;
    }
    for (const RegulatorStep& r : m.steps) {
        const Channel* sp = data.find(r.pair.setPointId);
        const Channel* pv = data.find(r.pair.processId);
        QString line = QStringLiteral("# ПИД%1;%2;%3;")
                           .arg(r.pair.regulator)
                           .arg(sp ? sp->name : QString(), pv ? pv->name : QString());
        if (!r.figures.found) {
            lines << line + r.figures.problem;
            continue;
        }
        const auto texts = stepTexts(data, r.figures);
        lines << line + QStringList(texts.begin(), texts.end()).join(QLatin1Char(';'));
    }
    return lines;
}

QStringList measurementReport(const Dataset& data, const Measurements& m, bool csv) {
    QStringList lines;
    auto add = [&](const QString& subject, const QString& what, const QString& value) {
        lines << (csv ? csvField(subject) + QLatin1Char(';') + what + QLatin1Char(';') + value
                      : subject + QStringLiteral(": ") + what + QStringLiteral(" = ") + value);
    };
    if (csv) lines << QStringLiteral("Объект;Показатель;Значение");
    add(QStringLiteral("Диапазон"), QStringLiteral("от"), instantText(data, m.t0));
    add(QStringLiteral("Диапазон"), QStringLiteral("до"), instantText(data, m.t1));
    add(QStringLiteral("Диапазон"), QStringLiteral("Δt, с"), measureSeconds(double(m.t1 - m.t0)));
    for (const ChannelStats& c : m.channels) {
        const auto texts = statTexts(&c.stats);
        for (int i = 0; i < kStatColumns; ++i)
            add(c.name, caption(kStatRows[i]), texts[std::size_t(i)]);
    }
    for (const RegulatorStep& r : m.steps) {
        const QString name = QStringLiteral("ПИД%1").arg(r.pair.regulator);
        if (!r.figures.found) {
            add(name, QStringLiteral("Переходная характеристика"), r.figures.problem);
            continue;
        }
        const auto texts = stepTexts(data, r.figures);
        const int rows = r.figures.offTarget ? kStepRows : kTargetStepRows;
        for (int i = 0; i < rows; ++i)
            add(name, caption(kStepRowTexts[i]), texts[std::size_t(i)]);
    }
    return lines;
}

} // namespace curvix
