// The fit behind the identification: a two-point start refined by
// Levenberg-Marquardt. The model is linear in base and change and smooth in
// T; in L it has a kink at each sample, which the damped steps ride over.
#include "tune/StepFit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace qmt::tune {

namespace {

constexpr double kLow = 0.283, kHigh = 0.632; // 1 - exp(-1/3), 1 - exp(-1)

using Vec4 = std::array<double, 4>;
using Mat4 = std::array<Vec4, 4>;

// Gaussian elimination with partial pivoting; false when singular.
bool solve(Mat4 a, Vec4 b, Vec4& x) {
    for (int c = 0; c < 4; ++c) {
        int p = c;
        for (int r = c + 1; r < 4; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[p][c])) p = r;
        if (!(std::fabs(a[p][c]) > 1e-300)) return false;
        std::swap(a[p], a[c]);
        std::swap(b[p], b[c]);
        for (int r = c + 1; r < 4; ++r) {
            const double f = a[r][c] / a[c][c];
            for (int k = c; k < 4; ++k)
                a[r][k] -= f * a[c][k];
            b[r] -= f * b[c];
        }
    }
    for (int c = 3; c >= 0; --c) {
        double s = b[c];
        for (int k = c + 1; k < 4; ++k)
            s -= a[c][k] * x[k];
        x[c] = s / a[c][c];
    }
    return true;
}

double cost(const double* t, const double* x, size_t n, double ts, const StepCurve& c) {
    double s = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double r = x[i] - c.at(t[i], ts);
        s += r * r;
    }
    return s;
}

// When the normalised response first reaches level and when it last was
// below it: their middle, so that noise about the crossing evens out.
double crossing(const double* t, const double* y, size_t from, size_t n, double level) {
    auto interpolate = [&](size_t i) { // between i - 1 and i, y[i - 1] < level <= y[i]
        if (i == from) return t[i];
        const double dy = y[i] - y[i - 1];
        return dy > 0 ? t[i - 1] + (level - y[i - 1]) / dy * (t[i] - t[i - 1]) : t[i];
    };
    size_t first = n, last = from;
    for (size_t i = from; i < n; ++i) {
        if (y[i] >= level) {
            if (first == n) first = i;
        } else {
            last = i + 1;
        }
    }
    if (first == n) return std::numeric_limits<double>::quiet_NaN();
    if (last >= n) last = n - 1;
    return (interpolate(first) + interpolate(std::max(last, first))) / 2;
}

} // namespace

double StepCurve::at(double t, double stepTime) const {
    const double s = t - stepTime - deadTime;
    if (s <= 0) return base;
    return base + change * -std::expm1(-s / std::max(timeConstant, 1e-12));
}

bool twoPointEstimate(const double* t, const double* x, size_t n, double ts, StepCurve& out) {
    size_t after = 0;
    double base = 0.0;
    while (after < n && t[after] <= ts)
        base += x[after++];
    if (after == 0 || after >= n) return false;
    base /= double(after);
    const size_t tail = std::max<size_t>(1, (n - after) / 10);
    double final = 0.0;
    for (size_t i = n - tail; i < n; ++i)
        final += x[i];
    final /= double(tail);
    const double change = final - base;
    if (change == 0.0) return false;

    std::vector<double> y(n);
    for (size_t i = after; i < n; ++i)
        y[i] = (x[i] - base) / change;
    const double t28 = crossing(t, y.data(), after, n, kLow);
    const double t63 = crossing(t, y.data(), after, n, kHigh);
    if (!std::isfinite(t28) || !std::isfinite(t63)) return false;
    const double span = t[n - 1] - ts;
    out.base = base;
    out.change = change;
    out.timeConstant = std::max(1.5 * (t63 - t28), 1e-3 * span);
    out.deadTime = std::clamp(t63 - ts - out.timeConstant, 0.0, span);
    return true;
}

bool fitStep(const double* t, const double* x, size_t n, double ts, StepCurve& c, double* rms) {
    if (n < 4) return false;
    const double span = t[n - 1] - ts;
    const double tMin = 1e-4 * span;
    double lambda = 1e-3;
    double current = cost(t, x, n, ts, c);
    for (int iteration = 0; iteration < 200 && std::isfinite(current); ++iteration) {
        // Normal equations of the linearised residuals (base, change, T, L).
        Mat4 jtj{};
        Vec4 jtr{};
        for (size_t i = 0; i < n; ++i) {
            const double s = t[i] - ts - c.deadTime;
            Vec4 j{1.0, 0.0, 0.0, 0.0};
            if (s > 0) {
                const double e = std::exp(-s / c.timeConstant);
                j[1] = 1 - e;
                j[2] = -c.change * e * s / (c.timeConstant * c.timeConstant);
                j[3] = -c.change * e / c.timeConstant;
            }
            const double r = x[i] - (c.base + c.change * j[1]);
            for (int a = 0; a < 4; ++a) {
                jtr[a] += j[a] * r;
                for (int b = a; b < 4; ++b)
                    jtj[a][b] += j[a] * j[b];
            }
        }
        for (int a = 0; a < 4; ++a)
            for (int b = 0; b < a; ++b)
                jtj[a][b] = jtj[b][a];

        bool improved = false;
        double previous = current;
        while (lambda < 1e12) {
            Mat4 m = jtj;
            for (int a = 0; a < 4; ++a)
                m[a][a] += lambda * std::max(jtj[a][a], 1e-12);
            Vec4 d{};
            if (solve(m, jtr, d)) {
                StepCurve next{c.base + d[0], c.change + d[1],
                               std::max(c.timeConstant + d[2], tMin),
                               std::clamp(c.deadTime + d[3], 0.0, span)};
                const double trial = cost(t, x, n, ts, next);
                if (trial < current) {
                    c = next;
                    current = trial;
                    lambda = std::max(lambda / 4, 1e-9);
                    improved = true;
                    break;
                }
            }
            lambda *= 8;
        }
        if (!improved || previous - current <= 1e-12 * previous) break;
    }
    if (!std::isfinite(current) || !std::isfinite(c.timeConstant) || !std::isfinite(c.change))
        return false;
    if (rms) {
        double s = 0.0;
        size_t m = 0;
        for (size_t i = 0; i < n; ++i)
            if (t[i] > ts) {
                const double r = x[i] - c.at(t[i], ts);
                s += r * r;
                ++m;
            }
        *rms = m ? std::sqrt(s / double(m)) : 0.0;
    }
    return true;
}

} // namespace qmt::tune
