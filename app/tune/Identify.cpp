// The checks around the fit: enough samples, a step, a change that stands out
// of the noise, the direction the regulator's action needs, and a record long
// enough for Xm to have settled.
#include "tune/Identify.h"

#include "tune/StepFit.h"

#include <algorithm>
#include <cmath>

namespace qmt::tune {

namespace {

// A change below ten standard deviations of the noise gives no model worth
// tuning on; one that has not come within 5 % of its end gives no gain.
constexpr double kSignalToNoise = 10.0;
constexpr double kUnsettled = 0.05;

// clang-format off
QString reasonText(Refusal why, bool reverse) {
    switch (why) {
    case Refusal::None: break;
    case Refusal::TooFewSamples: return QStringLiteral("Слишком мало отсчётов Xm: нужен хотя бы один до скачка и десять после.");
    case Refusal::NoStep: return QStringLiteral("Скачок выхода равен нулю: модель не определить.");
    case Refusal::SmallChange: return QStringLiteral("Изменение Xm мало по сравнению с шумом: увеличьте скачок выхода.");
    case Refusal::WrongDirection:
        return reverse ? QStringLiteral("Xm изменилось в сторону, неверную для реверсивного регулятора: выберите тип регулятора \"Прямой\".")
                       : QStringLiteral("Xm изменилось в сторону, неверную для прямого регулятора: выберите тип регулятора \"Реверсивный\".");
    case Refusal::NotSettled: return QStringLiteral("Xm не установилось до конца опыта: увеличьте время опыта.");
    case Refusal::NoFit: return QStringLiteral("Модель по записи Xm не подобрана.");
    }
    return {};
}
// clang-format on

Identification refuse(Identification id, Refusal why, bool reverse) {
    id.refusal = why;
    id.reason = reasonText(why, reverse);
    return id;
}

} // namespace

double noiseLevel(const std::vector<double>& x) {
    std::vector<double> d;
    for (size_t i = 1; i + 1 < x.size(); ++i)
        d.push_back(std::fabs(x[i + 1] - 2 * x[i] + x[i - 1]));
    double sigma = 0.0;
    if (!d.empty()) {
        std::nth_element(d.begin(), d.begin() + d.size() / 2, d.end());
        // a second difference of white noise has six times its variance;
        // 0.6745 turns a median absolute value into a standard deviation
        sigma = d[d.size() / 2] / (0.6745 * std::sqrt(6.0));
    }
    return std::max(sigma, 0.5);
}

bool isSteady(const std::vector<double>& t, const std::vector<double>& x, double window,
              double band) {
    const size_t n = std::min(t.size(), x.size());
    if (n < 3 || t[n - 1] - t[0] < window) return false;
    double st = 0, sx = 0, stt = 0, stx = 0;
    size_t m = 0;
    for (size_t i = n; i-- > 0 && t[i] >= t[n - 1] - window;) {
        st += t[i];
        sx += x[i];
        stt += t[i] * t[i];
        stx += t[i] * x[i];
        ++m;
    }
    if (m < 3) return false;
    const double den = m * stt - st * st;
    const double slope = den > 0 ? (m * stx - st * sx) / den : 0.0;
    return std::fabs(slope * window) <= band;
}

Identification identify(const StepRecord& r) {
    Identification id;
    id.stepTime = r.stepTime;
    id.outputStep = r.outputStep;
    const size_t n = std::min(r.t.size(), r.xm.size());
    const size_t before = size_t(std::count_if(r.t.begin(), r.t.begin() + long(n),
                                               [&](double t) { return t <= r.stepTime; }));
    if (before < 1 || n - before < 10 || !std::is_sorted(r.t.begin(), r.t.begin() + long(n)))
        return refuse(id, Refusal::TooFewSamples, r.reverse);
    if (r.outputStep == 0.0) return refuse(id, Refusal::NoStep, r.reverse);

    id.noise = noiseLevel(r.xm);
    StepCurve c;
    if (!twoPointEstimate(r.t.data(), r.xm.data(), n, r.stepTime, c) ||
        std::fabs(c.change) < kSignalToNoise * id.noise)
        return refuse(id, Refusal::SmallChange, r.reverse);
    // Direct action needs Xm to rise with Y, reverse action to fall.
    const bool rises = (c.change > 0) == (r.outputStep > 0);
    if (rises == r.reverse) return refuse(id, Refusal::WrongDirection, r.reverse);

    double rms = 0.0;
    if (!fitStep(r.t.data(), r.xm.data(), n, r.stepTime, c, &rms) || c.change == 0.0)
        return refuse(id, Refusal::NoFit, r.reverse);
    id.model.gain = c.change / r.outputStep;
    id.model.timeConstant = c.timeConstant;
    id.model.deadTime = c.deadTime;
    id.base = c.base;
    id.fitErrorPct = 100.0 * rms / std::fabs(c.change);

    const double left = std::exp(-(r.t[n - 1] - r.stepTime - c.deadTime) / c.timeConstant);
    if (left > kUnsettled) return refuse(id, Refusal::NotSettled, r.reverse);
    return id;
}

} // namespace qmt::tune
