// Step-response figures: each level crossing and the last excursion out of a
// band is one search, so a trace with an index over its samples answers a
// long range in a few looks.
#include "common/StepFigures.h"

#include <limits>

namespace qmt {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

bool isOutside(double v, double lo, double hi) {
    return std::isfinite(v) && (v < lo || v > hi);
}

// Every finite value lies outside the empty band [+inf, -inf].
int64_t nextFinite(const StepTrace& s, int64_t i, int64_t b) {
    return s.firstOutside(i, b, kInf, -kInf);
}
int64_t prevFinite(const StepTrace& s, int64_t a, int64_t i) {
    return s.lastOutside(a, i, kInf, -kInf);
}

Figure gap(bool settled) {
    return {NAN, settled ? FigureGap::NotReached : FigureGap::RangeEnded};
}
Figure known(double v) {
    return {v, FigureGap::None};
}

// Time where the trace first reaches `level` in [a, b), going up (or down),
// interpolated from the finite sample before it (not before `floor`).
double crossing(const StepTrace& s, int64_t floor, int64_t a, int64_t b, double level, bool up,
                int64_t* at) {
    const int64_t i = up ? s.firstOutside(a, b, -kInf, std::nextafter(level, -kInf))
                         : s.firstOutside(a, b, std::nextafter(level, kInf), kInf);
    if (i >= b) return NAN;
    if (at) *at = i;
    const int64_t p = prevFinite(s, floor, i);
    const double vi = s.value(i);
    if (p >= floor && s.value(p) != vi) {
        const double vp = s.value(p), f = (level - vp) / (vi - vp);
        return double(s.time(p)) + f * double(s.time(i) - s.time(p));
    }
    return double(s.time(i));
}

// Time from the step until the trace stays within `band` of `target`: the
// entry after its last finite sample outside, once a finite sample follows.
double settling(const StepTrace& s, int64_t p0, int64_t p1, double target, double band,
                int64_t stepTime) {
    const int64_t k = s.lastOutside(p0, p1, target - band, target + band);
    if (k < p0) return double(s.time(nextFinite(s, p0, p1)) - stepTime);
    const int64_t m = nextFinite(s, k + 1, p1);
    if (m >= p1) return NAN;
    const double vk = s.value(k), vm = s.value(m);
    const double edge = vk > target ? target + band : target - band;
    const double f = (edge - vk) / (vm - vk);
    return double(s.time(k)) + f * double(s.time(m) - s.time(k)) - double(stepTime);
}

StepLegs legs(const StepTrace& pv, int64_t p0, int64_t p1, double start, double final,
              int64_t stepTime, bool settled) {
    StepLegs l;
    const double change = final - start, size = std::fabs(change);
    const bool up = change > 0;
    int64_t at10 = p0;
    const double t10 = crossing(pv, p0, p0, p1, start + 0.1 * change, up, &at10);
    const double t90 =
        std::isnan(t10) ? NAN : crossing(pv, p0, at10, p1, start + 0.9 * change, up, nullptr);
    l.rise = std::isfinite(t90) ? known(t90 - t10) : gap(settled);
    double lo = 0, hi = 0;
    if (pv.minMax(p0, p1, lo, hi))
        l.overshoot = known(std::max(0.0, (up ? hi - final : final - lo) / size * 100.0));
    const double s2 = settling(pv, p0, p1, final, 0.02 * size, stepTime);
    const double s5 = settling(pv, p0, p1, final, 0.05 * size, stepTime);
    l.settle2 = std::isfinite(s2) ? known(s2) : gap(settled);
    l.settle5 = std::isfinite(s5) ? known(s5) : gap(settled);
    return l;
}

// The mean over the last tenth of [stepTime, t1], when the tenth before it
// has a mean within 0.5 % of the change: a loop still moving has no steady
// level (a first-order lag gets one after 4.5 time constants).
Figure steadyLevel(const StepTrace& pv, int64_t stepTime, int64_t t1, double size) {
    const int64_t tenth = (t1 - stepTime) / 10;
    const int64_t q0 = pv.lowerBound(t1 - 2 * tenth), q = pv.lowerBound(t1 - tenth);
    const int64_t q1 = pv.lowerBound(t1, true);
    double level = 0, before = 0;
    if (!pv.mean(q, q1, level) || !pv.mean(q0, q, before)) return gap(false);
    if (std::fabs(level - before) > 0.005 * size) return gap(false);
    return known(level);
}

} // namespace

int64_t StepTrace::firstOutside(int64_t a, int64_t b, double lo, double hi) const {
    for (int64_t i = std::max<int64_t>(a, 0), n = std::min(b, size()); i < n; ++i)
        if (isOutside(value(i), lo, hi)) return i;
    return b;
}

int64_t StepTrace::lastOutside(int64_t a, int64_t b, double lo, double hi) const {
    for (int64_t i = std::min(b, size()) - 1; i >= std::max<int64_t>(a, 0); --i)
        if (isOutside(value(i), lo, hi)) return i;
    return a - 1;
}

bool StepTrace::minMax(int64_t a, int64_t b, double& lo, double& hi) const {
    bool any = false;
    for (int64_t i = std::max<int64_t>(a, 0), n = std::min(b, size()); i < n; ++i) {
        const double v = value(i);
        if (!std::isfinite(v)) continue;
        lo = any ? std::min(lo, v) : v;
        hi = any ? std::max(hi, v) : v;
        any = true;
    }
    return any;
}

bool StepTrace::mean(int64_t a, int64_t b, double& m) const {
    double sum = 0;
    int64_t n = 0;
    for (int64_t i = std::max<int64_t>(a, 0), e = std::min(b, size()); i < e; ++i)
        if (std::isfinite(value(i))) sum += value(i), ++n;
    if (n == 0) return false;
    m = sum / double(n);
    return true;
}

int64_t StepTrace::lowerBound(int64_t t, bool after) const {
    int64_t lo = 0, hi = size();
    while (lo < hi) {
        const int64_t mid = lo + (hi - lo) / 2;
        if (after ? time(mid) <= t : time(mid) < t)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

StepFigures stepFigures(const StepTrace& sp, const StepTrace& pv, int64_t t0, int64_t t1) {
    StepFigures f;
    if (sp.size() == 0 || pv.size() == 0 || t1 <= t0) {
        f.problem = QStringLiteral("нет отсчётов");
        return f;
    }
    const int64_t a = sp.lowerBound(t0), b = sp.lowerBound(t1, true);
    const int64_t first = nextFinite(sp, a, b), last = prevFinite(sp, a, b);
    if (first >= b) {
        f.problem = QStringLiteral("нет отсчётов уставки");
        return f;
    }
    const double from = sp.value(first), to = sp.value(last);
    const double tol = 1e-6 * std::max({1.0, std::fabs(from), std::fabs(to)});
    if (std::fabs(to - from) <= tol) {
        f.problem = QStringLiteral("нет скачка уставки");
        return f;
    }
    f.setFrom = from;
    f.target = to;
    f.stepTime = sp.time(sp.firstOutside(a, b, from - tol, from + tol));
    const int64_t pa = pv.lowerBound(t0), p0 = pv.lowerBound(f.stepTime);
    const int64_t p1 = pv.lowerBound(t1, true);
    // The process value at the step instant: its last sample before the set
    // point's (sampled with it, the loop has already answered for up to a
    // period), or the first after when the range has none before.
    int64_t s0 = prevFinite(pv, pa, p0);
    if (s0 < pa) s0 = nextFinite(pv, p0, p1);
    if (p1 - p0 < 2 || s0 >= p1 || nextFinite(pv, p0, p1) >= p1) {
        f.problem = QStringLiteral("нет отсчётов обратной связи после скачка");
        return f;
    }
    f.start = pv.value(s0);
    f.change = to - f.start;
    if (std::fabs(f.change) <= tol) {
        f.problem = QStringLiteral("обратная связь в момент скачка уже на новой уставке");
        return f;
    }
    f.found = true;
    const double size = std::fabs(f.change);
    // The last part of what was recorded: a cursor beyond the samples adds none.
    f.steadyLevel = steadyLevel(pv, f.stepTime, std::min(t1, pv.time(p1 - 1)), size);
    const bool settled = f.steadyLevel.known();
    f.toTarget = legs(pv, p0, p1, f.start, to, f.stepTime, settled);
    if (!settled) {
        f.steadyError = gap(false);
        return f;
    }
    f.steadyError = known(to - f.steadyLevel.value);
    f.offTarget = std::fabs(f.steadyError.value) > 0.02 * size;
    if (f.offTarget && std::fabs(f.steadyLevel.value - f.start) > tol)
        f.toSteady = legs(pv, p0, p1, f.start, f.steadyLevel.value, f.stepTime, true);
    return f;
}

} // namespace qmt
