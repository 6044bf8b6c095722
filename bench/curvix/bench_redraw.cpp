// Redraw time and memory with 13 channels of 1,000,000 samples each on a plot
// of 1280 x 800 pixels: the full view and a 10-minute view, in the viewer's
// window with its own store, or (--qcp) with the plot library's container
// holding every sample and its own adaptive sampling.

#include "core/Dataset.h"
#include "ui/CurvixWindow.h"
#include "ui/Startup.h"

#include <qcustomplot.h>

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <unistd.h>
#include <vector>

using namespace curvix;

namespace {

constexpr int kChannels = 13;
int kSamples = 1'000'000;       // per channel; --samples N for a quick run
constexpr int64_t kStepMs = 20; // 50 Hz
const int64_t kStart = 1'796'817'600'000;

double residentBytes() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE));
}

float valueOf(int channel, int i) {
    return float(1000 * std::sin(i * 0.0005 + channel) + (i * 7919 % 101) - 50);
}

double cpuMs() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Wall time, and the thread's processor time, which a busy machine does not inflate.
template <class F> void report(const char* what, F redraw) {
    std::vector<double> ms, cpu;
    redraw(); // warm-up
    for (int i = 0; i < 15; ++i) {
        QElapsedTimer timer;
        timer.start();
        const double c0 = cpuMs();
        redraw();
        cpu.push_back(cpuMs() - c0);
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("%-40s wall median %6.1f ms, worst %6.1f ms; cpu median %6.1f ms, worst %6.1f ms\n",
                what, ms[ms.size() / 2], ms.back(), cpu[cpu.size() / 2], cpu.back());
}

void sizePlot(QWidget* window, QWidget* plot) {
    window->show();
    for (int i = 0; i < 3; ++i) {
        QApplication::processEvents();
        window->resize(window->width() + 1280 - plot->width(),
                       window->height() + 800 - plot->height());
    }
    QApplication::processEvents();
    std::printf("plot %d x %d\n", plot->width(), plot->height());
}

int viewer() {
    CurvixWindow window;
    sizePlot(&window, window.plot());
    const double before = residentBytes();
    Dataset& data = window.dataset();
    for (int c = 0; c < kChannels; ++c)
        data.channel(c + 1, QStringLiteral("Канал %1").arg(c + 1));
    std::vector<Channel*> channels = data.channels();
    for (int i = 0; i < kSamples; ++i)
        for (int c = 0; c < kChannels; ++c)
            data.addSample(*channels[std::size_t(c)], kStart + i * kStepMs, valueOf(c, i));
    const double grown = residentBytes() - before;
    std::size_t held = 0;
    for (Channel* c : channels)
        held += c->samples.memoryBytes();
    std::printf("store: %.2f bytes per sample resident (%.2f held by the store)\n",
                grown / (double(kChannels) * kSamples),
                double(held) / (double(kChannels) * kSamples));

    window.setSpan(0);
    report("full view (whole run, following)", [&] {
        window.refresh();
        window.replotNow();
    });
    report("  of which preparing the points", [&] { window.refresh(); });
    report("  of which drawing", [&] { window.replotNow(); });
    // The measurements between cursors spanning the whole run, updated with
    // every redraw as they are live.
    window.setCursorAt(1, kStart);
    window.setCursorAt(2, kStart + int64_t(kSamples - 1) * kStepMs);
    report("full view with the measurements", [&] {
        window.refresh();
        window.replotNow();
    });
    window.setSpan(600'000);
    report("10-minute view (following)", [&] {
        window.refresh();
        window.replotNow();
    });
    const int64_t middle = kStart + int64_t(kSamples / 2) * kStepMs;
    int shift = 0;
    report("10-minute view (paused, panning)", [&] {
        window.setVisibleRange(middle + shift, middle + shift + 600'000);
        shift += 1000;
        window.replotNow();
    });
    // A live cycle: 13 new samples, then the redraw the timer would do.
    int next = kSamples;
    window.setSpan(600'000);
    report("10-minute view, one cycle of 13 samples, measured", [&] {
        for (int c = 0; c < kChannels; ++c)
            data.addSample(*channels[std::size_t(c)], kStart + next * kStepMs, valueOf(c, next));
        ++next;
        window.refresh();
        window.replotNow();
    });
    return 0;
}

int library() {
    QCustomPlot plot;
    QWidget* window = &plot;
    sizePlot(window, &plot); // the widget itself: its axis rect is a little smaller
    plot.resize(1280, 800);
    const double before = residentBytes();
    for (int c = 0; c < kChannels; ++c) {
        QCPGraph* graph = plot.addGraph();
        graph->setAdaptiveSampling(true);
        QVector<double> keys, values;
        for (int i = 0; i < kSamples; ++i)
            graph->addData((kStart + i * kStepMs) / 1000.0, valueOf(c, i));
    }
    const double grown = residentBytes() - before;
    std::printf("plot container: %.2f bytes per sample resident\n",
                grown / (double(kChannels) * kSamples));
    const double first = kStart / 1000.0, last = (kStart + (kSamples - 1) * kStepMs) / 1000.0;
    report("full view", [&] {
        plot.xAxis->setRange(first, last);
        plot.rescaleAxes();
        plot.replot(QCustomPlot::rpImmediateRefresh);
    });
    report("10-minute view", [&] {
        plot.xAxis->setRange(last - 600, last);
        plot.replot(QCustomPlot::rpImmediateRefresh);
    });
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (!getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    prepareApplication(app);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    bool qcp = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--qcp") == 0) qcp = true;
        if (std::strcmp(argv[i], "--samples") == 0 && i + 1 < argc) kSamples = std::atoi(argv[++i]);
    }
    return qcp ? library() : viewer();
}
