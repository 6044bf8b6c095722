// What the hand-off and the log add to one read cycle with all channels
// selected: 13 samples to the stand-in viewer (each waiting for its
// acknowledgement), and one 26-field log line written and synced.
//
//   bench_monlog [cycles] [log folder] [viewer]
//
// With a viewer program given, the samples go to it instead of the stand-in.
#include "monitor/TrendHandOff.h"
#include "monitor/ValueLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

struct Figures {
    double mean, median, p99, max;
};

Figures figures(std::vector<double> us) {
    std::sort(us.begin(), us.end());
    double sum = 0;
    for (double v : us)
        sum += v;
    return {sum / us.size(), us[us.size() / 2], us[us.size() * 99 / 100], us.back()};
}

void print(const char* what, const Figures& f) {
    std::printf("%-34s mean %8.1f us  median %8.1f us  p99 %8.1f us  max %8.1f us\n", what, f.mean,
                f.median, f.p99, f.max);
}

template <class F> std::vector<double> timeEach(int n, F&& f) {
    std::vector<double> us;
    us.reserve(n);
    for (int i = 0; i < n; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        f(i);
        us.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0)
                .count());
    }
    return us;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int cycles = argc > 1 ? std::max(100, std::atoi(argv[1])) : 2000;

    QTemporaryDir peerDir;
    QFile script(peerDir.filePath("curvix"));
    script.open(QIODevice::WriteOnly);
    const QString viewer = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    script.write((viewer.isEmpty() ? QStringLiteral("#!/bin/sh\nexec '%1' --dir '%2'\n")
                                         .arg(TRENDPEER_FILE, peerDir.path())
                                   : QStringLiteral("#!/bin/sh\nexec '%1'\n").arg(viewer))
                     .toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    std::vector<qmt::TrendChannel> channels;
    std::vector<qmt::TrendCell> cells;
    for (int id : {1, 2, 3, 8, 9, 10, 15, 16, 17, 31, 32, 33, 34}) {
        channels.push_back({id, QStringLiteral("ch%1").arg(id)});
        cells.push_back({id, QString::number(id * 37 - 400)});
    }
    qmt::TrendHandOff handOff;
    handOff.setProgramDir(peerDir.path());
    handOff.setChannels([&] { return channels; });
    if (handOff.startViewer() != qmt::TrendHandOff::Start::Started) {
        std::fprintf(stderr, "the viewer did not start\n");
        return 1;
    }
    // The registration arrives through the event loop.
    QEventLoop loop;
    QObject::connect(&handOff, &qmt::TrendHandOff::viewerRegistered, &loop, &QEventLoop::quit);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    if (!handOff.hasViewer()) {
        std::fprintf(stderr, "the viewer did not register within 5 s\n");
        return 2;
    }

    const QDateTime stamp = QDateTime::currentDateTime();
    print("hand-off, 13 samples per cycle",
          figures(timeEach(cycles, [&](int) { handOff.sendSamples(cells, stamp); })));
    if (!handOff.viewerAlive()) {
        std::fprintf(stderr, "the viewer stopped acknowledging\n");
        return 3;
    }

    QStringList names, texts;
    for (int i = 0; i < 25; ++i) {
        names << QStringLiteral("name%1").arg(i);
        texts << QString::number(i * 1111 - 9999);
    }
    QStringList folders = {QDir::tempPath()};
    if (argc > 2 && *argv[2]) folders << QString::fromLocal8Bit(argv[2]);
    for (const QString& folder : folders) {
        const QString path = QDir(folder).filePath("bench_monlog.log");
        qmt::ValueLog log;
        const QDateTime start = QDateTime::currentDateTimeUtc();
        if (!log.open(path, start) || !log.writeHeader(names)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 4;
        }
        const QByteArray label = ("log line, synced, in " + folder).toLocal8Bit();
        print(label.constData(), figures(timeEach(cycles, [&](int i) {
                  log.writeData(start.addMSecs(200 * i), texts);
              })));
        log.close();
        QFile::remove(path);
    }
    return 0;
}
