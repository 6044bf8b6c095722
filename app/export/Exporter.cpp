#include "export/Exporter.h"

#include "export/Metrics.h"

#include <QDeadlineTimer>
#include <QHttpServer>
#include <QHttpServerResponse>
#include <QProcess>
#include <QTimer>

#include <algorithm>

namespace qmt::exporter {
namespace {

// A poller that ended is started again after this, doubling up to the most.
constexpr int FirstRestartMs = 1000;
constexpr int MaxRestartMs = 30000;

QString stationList(const std::vector<uint8_t>& stations) {
    QStringList parts;
    for (uint8_t s : stations)
        parts << QString::number(s);
    return parts.join(QLatin1Char(','));
}

// What is still true of a line whose poller has ended: its stations are not
// being read. Values and counts go until the poller reports again.
QStringList downSamples(const QStringList& samples) {
    QStringList kept;
    for (const QString& sample : samples) {
        const bool flag = sample.startsWith(QLatin1String("qmt584_up{")) ||
                          sample.startsWith(QLatin1String("qmt584_line_connected{"));
        if (flag)
            kept << sample.left(sample.lastIndexOf(QLatin1Char(' '))) + QStringLiteral(" 0");
        else if (sample.startsWith(QLatin1String("qmt584_last_good_cycle_timestamp_seconds{")) ||
                 sample.startsWith(QLatin1String("qmt584_module_info{")))
            kept << sample;
    }
    return kept;
}

} // namespace

struct Exporter::Line {
    LineTarget target;
    QProcess* process = nullptr;
    QByteArray pending; // output of the poller after its last complete round
    QStringList samples;
    QTimer* restart = nullptr;
    int restartMs = FirstRestartMs;
};

QStringList PollerArguments(const LineTarget& t) {
    return {QStringLiteral("export"),
            QStringLiteral("--line-worker"),
            t.name,
            QStringLiteral("--port"),
            t.port,
            QStringLiteral("--baud"),
            QString::number(t.baud),
            QStringLiteral("--parity"),
            QString::number(t.parity),
            QStringLiteral("--stations"),
            stationList(t.stations),
            QStringLiteral("--period-ms"),
            QString::number(t.periodMs)};
}

Exporter::Exporter(std::vector<LineTarget> targets, QString program)
    : program_(std::move(program)), server_(std::make_unique<QHttpServer>()) {
    for (LineTarget& target : targets) {
        auto line = std::make_unique<Line>();
        line->target = std::move(target);
        line->restart = new QTimer(this);
        line->restart->setSingleShot(true);
        Line* raw = line.get();
        connect(line->restart, &QTimer::timeout, this, [this, raw] { startPoller(*raw); });
        lines_.push_back(std::move(line));
    }
    server_->route(QStringLiteral("/metrics"),
                   [this] { return QHttpServerResponse(QByteArray(ScrapeContentType), scrape()); });
    server_->route(QStringLiteral("/"), [] {
        return QHttpServerResponse(QByteArrayLiteral("text/html; charset=utf-8"),
                                   QByteArrayLiteral("<html><body><h1>qmt584-cli export</h1>"
                                                     "<p><a href=\"/metrics\">Metrics</a></p>"
                                                     "</body></html>\n"));
    });
}

Exporter::~Exporter() {
    stopPollers(0);
}

bool Exporter::listen(const QHostAddress& address, quint16 port, QString& error) {
    if (server_->listen(address, port) == 0) {
        error = QStringLiteral("cannot listen on %1 port %2").arg(address.toString()).arg(port);
        return false;
    }
    return true;
}

void Exporter::startPollers() {
    for (auto& line : lines_)
        startPoller(*line);
}

void Exporter::startPoller(Line& line) {
    if (stopping_) return;
    auto* process = new QProcess(this);
    line.process = process;
    line.pending.clear();
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(process, &QProcess::readyReadStandardOutput, this, [this, &line] { readPoller(line); });
    connect(process, &QProcess::finished, this, [this, &line] { pollerEnded(line); });
    connect(process, &QProcess::errorOccurred, this, [this, &line](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) pollerEnded(line);
    });
    process->start(program_, PollerArguments(line.target));
}

void Exporter::readPoller(Line& line) {
    line.pending += line.process->readAllStandardOutput();
    const int end = line.pending.lastIndexOf("\n.\n");
    if (end < 0) return;
    // Only the newest complete round counts.
    const int begin = line.pending.lastIndexOf("\n.\n", end - 1);
    const QByteArray round =
        line.pending.mid(begin < 0 ? 0 : begin + 3, end - (begin < 0 ? 0 : begin + 3));
    line.samples = QString::fromUtf8(round).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    line.pending.remove(0, end + 3);
    line.restartMs = FirstRestartMs;
}

void Exporter::pollerEnded(Line& line) {
    if (!line.process) return;
    line.process->deleteLater();
    line.process = nullptr;
    line.samples = downSamples(line.samples);
    if (stopping_) return;
    line.restart->start(line.restartMs);
    line.restartMs = std::min(2 * line.restartMs, MaxRestartMs);
}

void Exporter::stopPollers(int waitMs) {
    stopping_ = true;
    for (auto& line : lines_) {
        line->restart->stop();
        if (line->process) line->process->terminate();
    }
    const QDeadlineTimer deadline(waitMs);
    for (auto& line : lines_) {
        QProcess* process = line->process;
        if (!process) continue;
        if (!process->waitForFinished(int(std::max<qint64>(0, deadline.remainingTime())))) {
            process->kill();
            process->waitForFinished(1000);
        }
    }
}

QByteArray Exporter::scrape() const {
    std::vector<QStringList> samples;
    samples.reserve(lines_.size());
    for (const auto& line : lines_)
        samples.push_back(line->samples);
    return RenderScrape(samples);
}

} // namespace qmt::exporter
