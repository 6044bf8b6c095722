// Step-response figures from the pyramid: each level crossing and the last
// excursion out of the settling band is a search down the min/max buckets,
// so a long range costs a few hundred bucket looks, not a walk.

#include "core/Measure.h"

#include <cmath>
#include <limits>

namespace curvix {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// The first finite value of [a, b) from the front (or the back); false when none.
bool firstFinite(const Series& s, int64_t a, int64_t b, bool fromBack, double& v) {
    const int64_t i =
        fromBack ? s.lastOutside(a, b, kInf, -kInf) : s.firstOutside(a, b, kInf, -kInf);
    if (i < a || i >= b) return false;
    v = s.value(i);
    return true;
}

// Time (ms, interpolated between samples) where the series first reaches
// `level` at or after index a, going up (or down); NaN when it never does.
double crossing(const Series& s, int64_t a, int64_t b, double level, bool up, int64_t* at) {
    const int64_t i = up ? s.firstOutside(a, b, -kInf, std::nextafter(level, -kInf))
                         : s.firstOutside(a, b, std::nextafter(level, kInf), kInf);
    if (i >= b) return NAN;
    if (at) *at = i;
    const double vi = s.value(i);
    if (i > a) {
        const double vp = s.value(i - 1);
        if (std::isfinite(vp) && vp != vi) {
            const double f = (level - vp) / (vi - vp);
            return double(s.time(i - 1)) + f * double(s.time(i) - s.time(i - 1));
        }
    }
    return double(s.time(i));
}

// Time from the step until the series stays within `band` of `target`.
double settling(const Series& s, int64_t a, int64_t b, double target, double band,
                int64_t stepTime) {
    const int64_t k = s.lastOutside(a, b, target - band, target + band);
    if (k < a) return double(s.time(a) - stepTime);
    if (k + 1 >= b) return NAN;
    const double vk = s.value(k), vn = s.value(k + 1);
    double t = double(s.time(k + 1));
    if (std::isfinite(vn) && vn != vk) {
        const double edge = vk > target ? target + band : target - band;
        const double f = (edge - vk) / (vn - vk);
        t = double(s.time(k)) + f * double(s.time(k + 1) - s.time(k));
    }
    return t - double(stepTime);
}

} // namespace

StepFigures stepResponse(const Series& sp, const Series& pv, int64_t t0, int64_t t1) {
    StepFigures f;
    if (sp.empty() || pv.empty() || t1 <= t0) {
        f.problem = QStringLiteral("нет отсчётов");
        return f;
    }
    const int64_t a = sp.lowerBound(t0), b = sp.upperBound(t1);
    double from = 0, to = 0;
    if (!firstFinite(sp, a, b, false, from) || !firstFinite(sp, a, b, true, to)) {
        f.problem = QStringLiteral("нет отсчётов уставки");
        return f;
    }
    const double tol = 1e-6 * std::max({1.0, std::fabs(from), std::fabs(to)});
    if (std::fabs(to - from) <= tol) {
        f.problem = QStringLiteral("нет скачка уставки");
        return f;
    }
    const int64_t j = sp.firstOutside(a, b, from - tol, from + tol);
    f.from = from;
    f.to = to;
    f.size = to - from;
    f.stepTime = sp.time(j);
    const int64_t p0 = pv.lowerBound(f.stepTime), p1 = pv.upperBound(t1);
    double last = 0;
    if (p1 - p0 < 2 || !firstFinite(pv, p0, p1, true, last)) {
        f.problem = QStringLiteral("нет отсчётов обратной связи после скачка");
        return f;
    }
    f.found = true;
    const bool up = f.size > 0;
    const double size = std::fabs(f.size);
    int64_t at10 = p0;
    const double t10 = crossing(pv, p0, p1, from + 0.1 * f.size, up, &at10);
    const double t90 = crossing(pv, at10, p1, from + 0.9 * f.size, up, nullptr);
    f.riseMs = t90 - t10; // NaN when either is not reached
    float lo = 0, hi = 0;
    if (pv.minMax(p0, p1, lo, hi)) {
        const double beyond = up ? double(hi) - to : to - double(lo);
        f.overshootPct = std::max(0.0, beyond / size * 100.0);
    }
    f.settle2Ms = settling(pv, p0, p1, to, 0.02 * size, f.stepTime);
    f.settle5Ms = settling(pv, p0, p1, to, 0.05 * size, f.stepTime);
    f.steadyError = to - last;
    return f;
}

} // namespace curvix
