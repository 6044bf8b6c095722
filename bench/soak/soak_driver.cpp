// The soak run: the program's main window and values window with the real
// library against qmt584-sim at 115200 baud, periodic update every 200 ms with
// the value log and the trend hand-off on, while the simulator's control FIFO
// injects faults: a CRC error about every 20th reply, split replies, replies
// delayed close to the 200 ms time-out, and 5 s of silence every minute.
//
// A failed read cycle stops the periodic update and closes the log, as it
// does for the user; the run then starts both again with a fresh log file,
// as an engineer would. The values window is closed from 40 s to 50 s of each
// minute, as the engineer does to go back to the main window, and the run is
// ended with the update still running, as the program is quit. At the end it
// checks and prints: every log file holds its header and one well-formed line
// per successful cycle of its stretch, the windows' closing and the quit
// included; no
// write request reached the simulator; after each silence the link
// supervision read the configuration again; resident memory after the first
// minute grew by less than 5 MB.
//
//   build/qmt_soak [--minutes 10]     (scripts/soak builds and runs it)
#include "FakeUi.h"
#include "LinkSettings.h"

#include "common/CheckBox.h"
#include "config/TPidConf.h"
#include "link/Forms.h"
#include "link/Library.h"
#include "link/PortSettings.h"
#include "link/Startup.h"
#include "monitor/TPidVal.h"
#include "testing/SimProcess.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include <dirent.h>
#include <unistd.h>

namespace {

constexpr const char* ConfigRead = "< 01 03 01 08 00 07";

long residentKb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

// Children of this process (the viewers the hand-off started).
std::vector<pid_t> children() {
    std::vector<pid_t> out;
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks) return out;
    while (dirent* t = readdir(tasks)) {
        if (t->d_name[0] == '.') continue;
        std::ifstream in(std::string("/proc/self/task/") + t->d_name + "/children");
        for (pid_t pid; in >> pid;)
            out.push_back(pid);
    }
    closedir(tasks);
    return out;
}

struct Stretch {
    QString path;
    int ok = 0;       // successful read cycles while this log was open
    qint64 size = -1; // the file's size after the last of them
};

struct Report {
    int okCycles = 0, failedCycles = 0, crcFaults = 0, silences = 0;
    int okWhileClosed = 0; // good cycles while the values window was closed
    int readsAfterSilence = 0;
    long rssAtMinute = -1, rssAtEnd = -1, rssMax = 0;
    std::vector<QString> problems;
};

// One header line and then exactly `expected` data lines, each of the
// header's width, CR LF ended, elapsed time first and never going back.
void checkLog(const Stretch& s, Report& r) {
    QFile f(s.path);
    if (!f.open(QIODevice::ReadOnly)) {
        r.problems.push_back(QStringLiteral("%1: not readable").arg(s.path));
        return;
    }
    const QList<QByteArray> lines = f.readAll().split('\n');
    static const QRegularExpression elapsed(QStringLiteral("^\\d+,\\d\\d$"));
    int data = 0;
    qsizetype width = -1, fields = -1;
    double last = -1;
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        if (i == lines.size() - 1) {
            if (!line.isEmpty()) r.problems.push_back(s.path + QStringLiteral(": last line cut"));
            break;
        }
        if (!line.endsWith('\r')) {
            r.problems.push_back(QStringLiteral("%1:%2: no CR LF").arg(s.path).arg(i + 1));
            continue;
        }
        line.chop(1);
        const QStringList parts =
            QString::fromLatin1(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (i == 0) {
            width = line.size();
            fields = parts.size();
            continue;
        }
        ++data;
        bool good = line.size() == width && parts.size() == fields &&
                    elapsed.match(parts.value(0)).hasMatch();
        const double t =
            QString(parts.value(0)).replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
        good = good && t >= last;
        last = t;
        for (int k = 1; good && k < parts.size(); ++k) {
            bool number = false;
            parts[k].toInt(&number, 10);
            if (!number) parts[k].toUInt(&number, 16);
            good = number;
        }
        if (!good)
            r.problems.push_back(QStringLiteral("%1:%2: malformed line").arg(s.path).arg(i + 1));
    }
    if (width < 0) r.problems.push_back(s.path + QStringLiteral(": no header"));
    if (data != s.ok)
        r.problems.push_back(QStringLiteral("%1: %2 data lines for %3 successful cycles")
                                 .arg(s.path)
                                 .arg(data)
                                 .arg(s.ok));
}

// Reads the simulator's trace as it grows, keeping only counts, so the run's
// own bookkeeping does not weigh on the memory it measures.
struct TraceCounter {
    std::string path;
    std::streamoff offset = 0;
    std::string partial;
    int requests = 0, configReads = 0, writes = 0;

    void update() {
        std::ifstream in(path, std::ios::binary);
        if (!in) return;
        in.seekg(offset);
        std::string chunk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        offset += static_cast<std::streamoff>(chunk.size());
        partial += chunk;
        size_t start = 0;
        for (size_t nl; (nl = partial.find('\n', start)) != std::string::npos; start = nl + 1) {
            const std::string_view line(partial.data() + start, nl - start);
            if (line.rfind("< ", 0) != 0) continue;
            ++requests;
            configReads += line.rfind(ConfigRead, 0) == 0;
            const std::string_view fn = line.substr(5, 2);
            writes += fn == "05" || fn == "06" || fn == "0F" || fn == "10";
        }
        partial.erase(0, start);
    }
};

} // namespace

int main(int argc, char** argv) {
    int minutes = 10;
    for (int i = 1; i + 1 < argc; ++i)
        if (!std::strcmp(argv[i], "--minutes")) minutes = std::max(1, std::atoi(argv[i + 1]));

    QApplication app(argc, argv);
    qmt::PrepareApplication();
    qmt::test::FakePrompts prompts; // a failed cycle's message box must not wait for anyone
    if (!qmt::BindLibrary(VORNLINK_FILE)) {
        std::fprintf(stderr, "soak: cannot bind %s\n", VORNLINK_FILE);
        return 2;
    }

    QTemporaryDir dir;
    qmt::sim::SimProcess sim;
    const QString link =
        QString::fromStdString(sim.start({"--baud", "115200", "--parity", "even"}));
    if (link.isEmpty()) {
        std::fprintf(stderr, "soak: simulator: %s\n", sim.error().c_str());
        return 2;
    }
    const QString ini = qmt::test::writeLinkSettings(dir, link, 115200);
    if (ini.isEmpty()) {
        std::fprintf(stderr, "soak: cannot write the settings file\n");
        return 2;
    }

    PidConf = new TPidConf(nullptr, ini);
    PidVal = new TPidVal;
    PidConf->show();
    PidVal->show();

    Report report;
    std::vector<Stretch> stretches;
    bool running = false;

    // Log on, then periodic update on (the log's own click turns the update off).
    auto arm = [&] {
        stretches.push_back(
            {dir.filePath(
                 QStringLiteral("log-%1.txt").arg(stretches.size() + 1, 4, 10, QLatin1Char('0'))),
             0});
        PidVal->edLog->setText(stretches.back().path);
        PidVal->edPerUpd->setText(QStringLiteral("200"));
        qmt::guarded([&] {
            PidVal->chbLog->setChecked(true);
            PidVal->chbUpdate->setChecked(true);
        });
        running = PidVal->chbUpdate->checked();
    };

    int second = 0; // of the run, counted by the fault schedule
    // After the window's own handler: the update still on means the cycle went through.
    size_t messagesSeen = 0;
    QObject::connect(PidVal->tmUpdate, &QTimer::timeout, [&] {
        const bool message = prompts.shown.size() != messagesSeen;
        messagesSeen = prompts.shown.size();
        if (message && PidVal->chbUpdate->checked()) {
            // Refused without stopping the update: no line may be written for it.
            ++report.failedCycles;
            report.problems.push_back(QStringLiteral("a cycle failed but the update went on: ") +
                                      prompts.lastText());
        } else if (PidVal->chbUpdate->checked()) {
            ++report.okCycles;
            report.okWhileClosed += !PidVal->isVisible();
            Stretch& st = stretches.back();
            ++st.ok;
            // Each good cycle must have written its line by now: say which did not.
            const qint64 size = QFileInfo(st.path).size();
            if (size <= st.size)
                report.problems.push_back(
                    QStringLiteral("%1: cycle %2 wrote no line (log %3, %4 s into the minute)")
                        .arg(st.path)
                        .arg(st.ok)
                        .arg(PidVal->chbLog->checked() ? "on" : "off")
                        .arg(second % 60));
            st.size = size;
        } else if (running) {
            ++report.failedCycles;
            running = false;
            QTimer::singleShot(1000, arm);
        }
    });

    qmt::guarded([&] { PidVal->chbTrend->setChecked(true); });
    if (!PidVal->chbTrend->checked())
        report.problems.push_back(QStringLiteral("the trend viewer did not start"));

    // Faults by the second of each minute; the silence falls at 30..35 s.
    int readsBefore = 0;
    TraceCounter trace;
    trace.path = sim.tracePath();
    auto configReads = [&] {
        trace.update();
        return trace.configReads;
    };
    // One reply in 20 gets a bad CRC: a fault is armed for every 20 requests
    // the simulator has taken since the last one.
    int requestsSeen = 0;
    auto requestCount = [&] {
        trace.update();
        return trace.requests;
    };
    QTimer crc;
    QObject::connect(&crc, &QTimer::timeout, [&] {
        const int now = requestCount();
        if (now - requestsSeen >= 20 && sim.sendControl("fault crc 1")) {
            ++report.crcFaults;
            requestsSeen += 20;
        }
    });
    QTimer schedule;
    QObject::connect(&schedule, &QTimer::timeout, [&] {
        ++second;
        const int s = second % 60;
        if (s == 10) sim.sendControl("fault split 20");
        if (s == 20) sim.sendControl("fault split 0");
        if (s == 30) {
            readsBefore = configReads();
            sim.sendControl("silent on");
            ++report.silences;
        }
        if (s == 35) sim.sendControl("silent off");
        if (s == 45) {
            if (configReads() > readsBefore)
                ++report.readsAfterSilence;
            else
                report.problems.push_back(
                    QStringLiteral("minute %1: no configuration read after the silence")
                        .arg(second / 60 + 1));
            sim.sendControl("fault delay 170");
        }
        if (s == 52) sim.sendControl("fault delay 0");
        if (s == 40) PidVal->close();
        if (s == 50) PidVal->show();
        const long rss = residentKb();
        report.rssMax = std::max(report.rssMax, rss);
        if (second == 60) report.rssAtMinute = rss;
        if (second % 60 == 0)
            std::printf("soak: minute %d: %d cycles ok, %d failed, resident %.1f MB\n", second / 60,
                        report.okCycles, report.failedCycles, rss / 1024.0);
        std::fflush(stdout);
        // Quit in the middle of a run: the log ends with the program.
        if (second >= minutes * 60) app.quit();
    });

    // The link comes up and reads the configuration by itself first.
    QElapsedTimer waited;
    waited.start();
    while (!qmt::LinkUp && waited.elapsed() < 10000)
        app.processEvents(QEventLoop::WaitForMoreEvents, 100);
    if (!qmt::LinkUp) {
        std::fprintf(stderr, "soak: the link never came up\n");
        return 1;
    }
    arm();
    requestsSeen = requestCount();
    crc.start(250);
    schedule.start(1000);
    app.exec();

    crc.stop();
    schedule.stop();
    sim.sendControl("fault clear");
    const bool updateAtQuit = PidVal->chbUpdate->checked() && PidVal->tmUpdate->isActive();
    const bool logAtQuit = PidVal->chbLog->checked();
    report.rssAtEnd = residentKb();
    trace.update();
    const int requests = trace.requests, writes = trace.writes;
    if (writes) report.problems.push_back(QStringLiteral("%1 write requests").arg(writes));
    const long growth = report.rssAtEnd - report.rssAtMinute;
    if (growth >= 5 * 1024)
        report.problems.push_back(QStringLiteral("resident memory grew by %1 kB").arg(growth));

    for (pid_t viewer : children())
        if (viewer != sim.pid()) kill(viewer, SIGTERM);
    // The program's end closes the running log.
    delete PidVal;
    delete PidConf;
    sim.stop();
    for (const Stretch& s : stretches)
        checkLog(s, report);

    std::printf("soak: %d min, %d requests, %d read cycles ok, %d failed, %zu log files\n", minutes,
                requests, report.okCycles, report.failedCycles, stretches.size());
    std::printf("soak: %d of the good cycles ran with the values window closed\n",
                report.okWhileClosed);
    std::printf("soak: %d CRC faults injected (1 in %.0f requests), %d silences, configuration "
                "read again after %d\n",
                report.crcFaults, report.crcFaults ? double(requests) / report.crcFaults : 0.0,
                report.silences, report.readsAfterSilence);
    std::printf("soak: resident %.1f MB after 1 min, %.1f MB at the end (growth %+.2f MB), peak "
                "%.1f MB\n",
                report.rssAtMinute / 1024.0, report.rssAtEnd / 1024.0, growth / 1024.0,
                report.rssMax / 1024.0);
    std::printf("soak: write requests seen by the simulator: %d\n", writes);
    std::printf("soak: at the quit: periodic update %s, value log %s\n",
                updateAtQuit ? "running" : "off", logAtQuit ? "on" : "off");
    for (const QString& p : report.problems)
        std::printf("soak: PROBLEM: %s\n", qPrintable(p));
    std::printf(report.problems.empty() ? "soak: passed\n" : "soak: FAILED\n");
    return report.problems.empty() ? 0 : 1;
}
