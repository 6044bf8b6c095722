// What the bundle and the package tests share when they run an unpacked
// program against the simulator: waiting on it and telling from the
// simulator's trace that it read the module's configuration.
#pragma once

#include "testing/SimProcess.h"

#include <QFile>
#include <QProcess>
#include <QString>
#include <QThread>

#include <functional>
#include <string>

namespace release {

// The request that reads the first half of ПИД1's block: every configuration read.
constexpr const char* ConfigRead = "< 01 03 01 08 00 07";

inline bool waitFor(const std::function<bool()>& done, int ms) {
    for (int waited = 0; waited < ms; waited += 50) {
        if (done()) return true;
        QThread::msleep(50);
    }
    return done();
}

// How many configuration reads the simulator has answered so far.
inline int configReads(const qmt::sim::SimProcess& sim) {
    int n = 0;
    for (const std::string& line : sim.traceLines())
        n += line.rfind(ConfigRead, 0) == 0;
    return n;
}

// Waits up to 20 s for a configuration read or for the program to end.
inline bool waitForConfigRead(const qmt::sim::SimProcess& sim, const QProcess& program) {
    return waitFor([&] { return configReads(sim) > 0 || program.state() == QProcess::NotRunning; },
                   20000);
}

inline QString readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace release
