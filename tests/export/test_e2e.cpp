// The exporter as a plant runs it: three stations on two simulated gateways,
// scraped by the real Prometheus on loopback. Prometheus answers with the
// simulator's values, a station silenced through the control FIFO turns down
// while the others stay up, it comes back after its gateway restarts, the
// scrape passes promtool, SIGTERM ends the exporter and its pollers, and the
// simulators' traces hold no request but reads.
#include "CliProcess.h"
#include "testing/SimProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUrlQuery>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

namespace {

using qmt::sim::SimProcess;

quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QByteArray httpGet(const QUrl& url) {
    QNetworkAccessManager manager;
    QNetworkReply* reply = manager.get(QNetworkRequest(url));
    QEventLoop loop;
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const QByteArray body =
        reply->error() == QNetworkReply::NoError ? reply->readAll() : QByteArray();
    reply->abort();
    reply->deleteLater();
    return body;
}

// A child process this test started, stopped by its PID at the end.
struct Child {
    QProcess process;
    ~Child() { stop(); }
    void stop() {
        if (process.state() == QProcess::NotRunning) return;
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished();
        }
    }
};

class ExportE2e : public ::testing::Test {
protected:
    void SetUp() override {
        prometheus_ = QStandardPaths::findExecutable(QStringLiteral("prometheus"));
        promtool_ = QStandardPaths::findExecutable(QStringLiteral("promtool"));
        if (prometheus_.isEmpty() || promtool_.isEmpty())
            GTEST_SKIP() << "prometheus and promtool are not installed (Debian package "
                            "prometheus, scripts/setup-deps): the end-to-end test needs them";
        ASSERT_TRUE(dir_.isValid());
    }

    // Station -> value of qmt584_up as Prometheus answers now.
    std::map<int, double> query(const QString& promql) {
        QUrl url(QStringLiteral("http://127.0.0.1:%1/api/v1/query").arg(promPort_));
        QUrlQuery q;
        q.addQueryItem(QStringLiteral("query"), promql);
        url.setQuery(q);
        const QJsonObject answer = QJsonDocument::fromJson(httpGet(url)).object();
        std::map<int, double> values;
        for (const auto& item : answer[QLatin1String("data")][QLatin1String("result")].toArray()) {
            const QJsonObject o = item.toObject();
            values[o[QLatin1String("metric")][QLatin1String("station")].toString().toInt()] =
                o[QLatin1String("value")].toArray().at(1).toString().toDouble();
        }
        return values;
    }

    // Waits until Prometheus's answer to promql passes the check (30 s at most).
    bool waitUntil(const QString& promql,
                   const std::function<bool(const std::map<int, double>&)>& check) {
        const QDeadlineTimer deadline(30000);
        std::map<int, double> last;
        while (!deadline.hasExpired()) {
            last = query(promql);
            if (check(last)) return true;
            QThread::msleep(250);
        }
        std::string shown;
        for (const auto& [station, value] : last)
            shown += " " + std::to_string(station) + "=" + std::to_string(value);
        ADD_FAILURE() << promql.toStdString() << " last answered" << shown;
        return false;
    }

    bool waitFor(const QString& promql, const std::map<int, double>& want) {
        return waitUntil(promql, [&](const std::map<int, double>& got) { return got == want; });
    }

    void writeFile(const QString& name, const QString& text) {
        QFile f(dir_.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.toUtf8());
    }

    // Every request in the trace is a read of holding registers.
    static void expectReadsOnly(const SimProcess& sim) {
        int requests = 0;
        for (const std::string& line : sim.traceLines()) {
            if (line.rfind("< ", 0) != 0) continue;
            ++requests;
            EXPECT_EQ(line.substr(5, 3), "03 ") << line;
        }
        EXPECT_GT(requests, 0);
    }

    QTemporaryDir dir_;
    QString prometheus_, promtool_;
    quint16 promPort_ = 0;
};

TEST_F(ExportE2e, PrometheusSeesValuesSilenceAndReturn) {
    SimProcess hall, yard;
    const std::string hallAddress =
        hall.start({"--tcp", "127.0.0.1:0", "--framing", "mbap", "--address", "1,2"});
    ASSERT_FALSE(hallAddress.empty()) << hall.error();
    const std::string yardAddress =
        yard.start({"--tcp", "127.0.0.1:0", "--framing", "mbap", "--address", "3"});
    ASSERT_FALSE(yardAddress.empty()) << yard.error();
    // Station 2 independent of its regulators, so its Xm of ПИД2 holds still.
    ASSERT_TRUE(hall.sendControl("station 2"));
    ASSERT_TRUE(hall.sendControl("set 60 1"));
    ASSERT_TRUE(hall.sendControl("set 1049 4321"));

    const quint16 exportPort = freePort();
    writeFile(QStringLiteral("targets.ini"),
              QStringLiteral("[hall]\nport = tcp://%1\nstations = 1-2\nperiod_ms = 500\n\n"
                             "[yard]\nport = tcp://%2\nstations = 3\nperiod_ms = 500\n")
                  .arg(QString::fromStdString(hallAddress), QString::fromStdString(yardAddress)));
    Child exporter;
    qmt::test::prepareCli(exporter.process);
    exporter.process.start(QStringLiteral(CLI_FILE),
                           {QStringLiteral("export"), QStringLiteral("--config"),
                            dir_.filePath(QStringLiteral("targets.ini")),
                            QStringLiteral("--listen"),
                            QStringLiteral("127.0.0.1:%1").arg(exportPort)});
    ASSERT_TRUE(exporter.process.waitForStarted());

    promPort_ = freePort();
    writeFile(QStringLiteral("prometheus.yml"),
              QStringLiteral("global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\n"
                             "scrape_configs:\n  - job_name: qmt584\n    static_configs:\n"
                             "      - targets: ['127.0.0.1:%1']\n")
                  .arg(exportPort));
    Child prometheus;
    prometheus.process.setProcessChannelMode(QProcess::MergedChannels);
    prometheus.process.start(
        prometheus_,
        {QStringLiteral("--config.file=") + dir_.filePath(QStringLiteral("prometheus.yml")),
         QStringLiteral("--storage.tsdb.path=") + dir_.filePath(QStringLiteral("data")),
         QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(promPort_)});
    ASSERT_TRUE(prometheus.process.waitForStarted());

    // Two scrapes at least, and Xm as the simulator holds it.
    ASSERT_TRUE(waitUntil(QStringLiteral("count_over_time(qmt584_up[1m])"), [](const auto& got) {
        return got.size() == 3 &&
               std::all_of(got.begin(), got.end(), [](const auto& kv) { return kv.second >= 2; });
    }));
    const auto xm =
        query(QStringLiteral("qmt584_regulator_xm{line=\"hall\",station=\"2\",regulator=\"2\"}"));
    ASSERT_EQ(xm.size(), 1u);
    EXPECT_EQ(xm.at(2), double(hall.registerValue(1049)));
    EXPECT_EQ(xm.at(2), 4321);

    // A silent station is down; the others go on.
    ASSERT_TRUE(hall.sendControl("silent 1 on"));
    EXPECT_TRUE(waitFor(QStringLiteral("qmt584_up"), {{1, 0}, {2, 1}, {3, 1}}));
    expectReadsOnly(hall);

    // The gateway goes away and comes back: the exporter reconnects.
    hall.stop();
    ASSERT_FALSE(
        hall.start({"--tcp", hallAddress, "--framing", "mbap", "--address", "1,2"}).empty())
        << hall.error();
    EXPECT_TRUE(waitFor(QStringLiteral("qmt584_up"), {{1, 1}, {2, 1}, {3, 1}}));
    // The line's counts went on through the reconnection (no line label: key 0).
    EXPECT_EQ(query(QStringLiteral("resets(qmt584_link_requests_total{line=\"hall\"}[5m])")),
              (std::map<int, double>{{0, 0}}));

    const QByteArray scrape =
        httpGet(QUrl(QStringLiteral("http://127.0.0.1:%1/metrics").arg(exportPort)));
    ASSERT_FALSE(scrape.isEmpty());
    QProcess promtool;
    promtool.setProcessChannelMode(QProcess::MergedChannels);
    promtool.start(promtool_, {QStringLiteral("check"), QStringLiteral("metrics")});
    promtool.write(scrape);
    promtool.closeWriteChannel();
    ASSERT_TRUE(promtool.waitForFinished(10000));
    EXPECT_EQ(promtool.exitCode(), 0) << promtool.readAll().toStdString();

    // SIGTERM ends the exporter and its line pollers.
    const qint64 pid = exporter.process.processId();
    QFile childrenFile(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
    ASSERT_TRUE(childrenFile.open(QIODevice::ReadOnly));
    const QStringList pollers =
        QString::fromLatin1(childrenFile.readAll()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    EXPECT_EQ(pollers.size(), 2);
    exporter.process.terminate();
    ASSERT_TRUE(exporter.process.waitForFinished(5000));
    EXPECT_EQ(exporter.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(exporter.process.exitCode(), 0);
    for (const QString& poller : pollers)
        EXPECT_FALSE(QFile::exists(QStringLiteral("/proc/") + poller)) << poller.toStdString();
    expectReadsOnly(hall);
    expectReadsOnly(yard);
}

} // namespace
