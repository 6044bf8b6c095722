// The step figures of a stored channel pair: the series' pyramid answers the
// searches, so a long range costs a few hundred bucket looks, not a walk.
#include "core/Measure.h"

namespace curvix {
namespace {

class SeriesTrace : public StepTrace {
public:
    explicit SeriesTrace(const Series& s) : s_(s) {}
    int64_t size() const override { return s_.size(); }
    int64_t time(int64_t i) const override { return s_.time(i); }
    double value(int64_t i) const override { return s_.value(i); }
    int64_t firstOutside(int64_t a, int64_t b, double lo, double hi) const override {
        return s_.firstOutside(a, b, lo, hi);
    }
    int64_t lastOutside(int64_t a, int64_t b, double lo, double hi) const override {
        return s_.lastOutside(a, b, lo, hi);
    }
    bool minMax(int64_t a, int64_t b, double& lo, double& hi) const override {
        float l = 0, h = 0;
        if (!s_.minMax(a, b, l, h)) return false;
        lo = l;
        hi = h;
        return true;
    }
    bool mean(int64_t a, int64_t b, double& m) const override {
        const Moments mo = s_.moments(a, b);
        if (mo.count == 0) return false;
        m = mo.mean;
        return true;
    }

private:
    const Series& s_;
};

} // namespace

StepFigures stepResponse(const Series& setPoint, const Series& process, int64_t t0, int64_t t1) {
    return stepFigures(SeriesTrace(setPoint), SeriesTrace(process), t0, t1);
}

} // namespace curvix
