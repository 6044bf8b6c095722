#include "core/View.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace curvix {
namespace {

double plotValue(float v) {
    return std::isfinite(v) ? double(v) : std::numeric_limits<double>::quiet_NaN();
}

} // namespace

void sampleForView(const Series& s, int64_t t0, int64_t t1, int columns, ViewPoints& out) {
    out.keys.clear();
    out.values.clear();
    out.reduced = false;
    if (s.empty() || t1 < t0) return;
    columns = std::max(columns, 1);
    // One neighbour outside each edge keeps the line running off the plot.
    const int64_t first = std::max<int64_t>(s.lowerBound(t0) - 1, 0);
    const int64_t last = std::min(s.upperBound(t1) + 1, s.size());
    if (last - first <= 4 * int64_t(columns)) {
        out.keys.reserve(static_cast<std::size_t>(last - first));
        out.values.reserve(static_cast<std::size_t>(last - first));
        for (int64_t i = first; i < last; ++i) {
            out.keys.push_back(double(s.time(i)) / 1000.0);
            out.values.push_back(plotValue(s.value(i)));
        }
        return;
    }
    out.reduced = true;
    out.keys.reserve(2 * static_cast<std::size_t>(columns) + 2);
    out.values.reserve(2 * static_cast<std::size_t>(columns) + 2);
    const int64_t inner = s.lowerBound(t0);
    if (inner > 0) {
        out.keys.push_back(double(s.time(inner - 1)) / 1000.0);
        out.values.push_back(plotValue(s.value(inner - 1)));
    }
    const double width = double(t1 - t0 + 1) / columns;
    int64_t a = inner;
    int64_t columnSamples = 1; // samples in the previous column
    for (int c = 0; c < columns && a < s.size(); ++c) {
        const int64_t edge = t0 + int64_t(std::ceil(width * (c + 1)));
        const int64_t b =
            c + 1 == columns ? s.upperBound(t1) : s.lowerBoundNear(edge, a, a + columnSamples);
        columnSamples = std::max<int64_t>(b - a, 1);
        if (b <= a) continue;
        const double key = (double(t0) + width * (c + 0.5)) / 1000.0;
        float lo, hi;
        if (!s.minMax(a, b, lo, hi)) {
            out.keys.push_back(key);
            out.values.push_back(std::numeric_limits<double>::quiet_NaN());
        } else {
            // The extreme nearer the line's last point comes first: the stroke
            // joining the columns stays short (fewer pixels to paint), and a ramp
            // stays a ramp.
            const double last = out.values.empty() ? double(s.value(a)) : out.values.back();
            const bool rising = std::isnan(last) ? s.value(a) <= s.value(b - 1)
                                                 : std::fabs(last - lo) <= std::fabs(last - hi);
            out.keys.push_back(key);
            out.values.push_back(rising ? lo : hi);
            out.keys.push_back(key);
            out.values.push_back(rising ? hi : lo);
        }
        a = b;
    }
    const int64_t after = s.upperBound(t1);
    if (after < s.size()) {
        out.keys.push_back(double(s.time(after)) / 1000.0);
        out.values.push_back(plotValue(s.value(after)));
    }
}

bool valueAt(const Series& s, int64_t t, float& value, int64_t* sampleTime) {
    const int64_t i = s.upperBound(t) - 1;
    if (i < 0) return false;
    value = s.value(i);
    if (sampleTime) *sampleTime = s.time(i);
    return true;
}

bool rangeOf(const Series& s, int64_t t0, int64_t t1, float& lo, float& hi) {
    return s.minMax(s.lowerBound(t0), s.upperBound(t1), lo, hi);
}

} // namespace curvix
