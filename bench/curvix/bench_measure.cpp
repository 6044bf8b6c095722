// Measurements between cursors spanning a whole run of 13 channels of
// 1,000,000 samples: the statistics of every channel and the step figures of
// the three regulators, as the window computes them on every update; and a
// range cutting blocks at both ends.

#include "core/Measure.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace curvix;

namespace {

constexpr int64_t kStepMs = 20; // 50 Hz
const int64_t kStart = 1'796'817'600'000;
const int32_t kIds[13] = {1, 2, 3, 8, 9, 10, 15, 16, 17, 31, 32, 33, 34};

// Regulators: the set point steps at a tenth of the run, the process value
// follows as a lightly damped second order response with a little noise.
float valueOf(int32_t id, int i, int samples) {
    const double t = double(i - samples / 10) * kStepMs / 1000.0;
    const double noise = double(i * 7919 % 101 - 50) / 100.0;
    const int row = (id - 1) % 7 + 1;
    if (id < 31 && row == 1) return t < 0 ? 100.0f : 600.0f;
    if (id < 31 && row == 2) {
        if (t < 0) return float(100 + noise);
        const double z = 0.4, w = 0.5, wd = w * std::sqrt(1 - z * z);
        const double y = 1 - std::exp(-z * w * t) *
                                 (std::cos(wd * t) + z / std::sqrt(1 - z * z) * std::sin(wd * t));
        return float(100 + 500 * y + noise);
    }
    return float(1000 * std::sin(i * 0.0005 + id) + noise * 100);
}

template <class F> void report(const char* what, F run) {
    std::vector<double> ms;
    run(); // warm-up
    for (int i = 0; i < 25; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s median %7.3f ms, worst %7.3f ms\n", what, ms[ms.size() / 2], ms.back());
}

} // namespace

int main(int argc, char* argv[]) {
    int samples = 1'000'000;
    if (argc == 3 && std::strcmp(argv[1], "--samples") == 0) samples = std::atoi(argv[2]);
    Dataset data;
    std::vector<Channel*> channels;
    for (int32_t id : kIds)
        channels.push_back(&data.channel(id));
    for (int i = 0; i < samples; ++i)
        for (Channel* c : channels)
            data.addSample(*c, kStart + i * kStepMs, valueOf(c->id, i, samples));
    std::printf("%zu channels x %d samples, %.1f MB\n", channels.size(), samples,
                double(data.memoryBytes()) / 1e6);

    const int64_t t0 = data.firstTime(), t1 = data.lastTime();
    Measurements m;
    report("whole run: statistics + step figures", [&] { m = measure(data, t0, t1); });
    for (const RegulatorStep& r : m.steps) {
        const auto texts = stepTexts(data, r.figures);
        std::printf("  regulator %d: rise %s s, overshoot %s %%, settling 2 %% %s s, 5 %% %s s\n",
                    r.pair.regulator, qPrintable(texts[4]), qPrintable(texts[5]),
                    qPrintable(texts[6]), qPrintable(texts[7]));
    }
    // Both ends inside blocks and buckets: the worst case for the edge walks.
    const int64_t a = t0 + 12'345 * kStepMs + 7, b = t1 - 54'321 * kStepMs - 3;
    report("cut range: statistics + step figures", [&] { m = measure(data, a, b); });
    report("whole run: statistics only", [&] {
        for (const Channel* c : data.channels())
            rangeStats(c->samples, t0, t1);
    });
    report("comment lines for the export", [&] { measurementComments(data, m); });
    return 0;
}
