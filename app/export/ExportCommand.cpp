#include "export/ExportCommand.h"

#include "cli/CliOptions.h"
#include "export/Exporter.h"
#include "export/LinePoller.h"
#include "export/Targets.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <algorithm>
#include <csignal>
#include <cstdio>

#include <sys/socket.h>
#include <unistd.h>

namespace qmt::exporter {
namespace {

// How long the pollers get to finish their request when the exporter is told to end.
constexpr int StopWaitMs = 500;

const char Usage[] =
    "usage: qmt584-cli export --config FILE [--listen HOST:PORT]\n"
    "       qmt584-cli export --check --config FILE\n"
    "Polls the lines and stations of the targets file and serves their values to\n"
    "Prometheus at http://HOST:PORT/metrics (default 127.0.0.1:9584). It only reads:\n"
    "nothing is ever written to a module. --check validates the targets file and ends.\n";

struct Options {
    QString config;
    QString listen = QLatin1String(DefaultListen);
    bool check = false;
    bool help = false;
    bool worker = false;
    LineTarget line; // the poller of one line, started by the exporter itself
};

int stopPipe[2] = {-1, -1};

void onStop(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(stopPipe[1], &byte, 1);
}

// An empty result is success; otherwise the usage error.
QString parse(const QStringList& args, Options& o) {
    for (int i = 0; i < args.size(); ++i) {
        const QString arg = args[i];
        if (arg == QLatin1String("--check")) {
            o.check = true;
            continue;
        }
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            o.help = true;
            continue;
        }
        if (arg == QLatin1String("--line-worker")) o.worker = true;
        static const char* const withValue[] = {"--config",   "--listen",   "--line-worker",
                                                "--port",     "--baud",     "--parity",
                                                "--stations", "--period-ms"};
        if (std::none_of(std::begin(withValue), std::end(withValue),
                         [&](const char* w) { return arg == QLatin1String(w); }))
            return QStringLiteral("export takes no option '%1'").arg(arg);
        if (i + 1 >= args.size()) return QStringLiteral("export: %1 needs a value").arg(arg);
        const QString value = args[++i];
        bool ok = true;
        if (arg == QLatin1String("--config")) {
            o.config = value;
        } else if (arg == QLatin1String("--listen")) {
            o.listen = value;
        } else if (arg == QLatin1String("--line-worker")) {
            o.line.name = value;
        } else if (arg == QLatin1String("--port")) {
            o.line.port = value;
        } else if (arg == QLatin1String("--baud")) {
            o.line.baud = value.toInt(&ok);
        } else if (arg == QLatin1String("--parity")) {
            o.line.parity = static_cast<uint8_t>(value.toUInt(&ok));
        } else if (arg == QLatin1String("--stations")) {
            const auto stations = cli::ParseStations(value);
            ok = stations.has_value();
            if (ok) o.line.stations = *stations;
        } else {
            o.line.periodMs = value.toInt(&ok);
        }
        if (!ok) return QStringLiteral("export: bad value '%1' for %2").arg(value, arg);
    }
    return QString();
}

QHostAddress hostAddress(const QString& host) {
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return QHostAddress(QHostAddress::LocalHost);
    return QHostAddress(host);
}

} // namespace

std::optional<ListenAddress> ParseListen(const QString& text) {
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0) return std::nullopt;
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    else if (host.contains(QLatin1Char(':')))
        return std::nullopt; // an IPv6 address goes in brackets
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok);
    if (!ok || port == 0 || port > 65535 || hostAddress(host).isNull()) return std::nullopt;
    return ListenAddress{host, static_cast<quint16>(port)};
}

int Main(int argc, char** argv, const CommandLineInfo& info) {
    QStringList args;
    for (int i = 2; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    Options o;
    const QString error = parse(args, o);
    if (!error.isEmpty()) return RefuseCommandLine(info, error.toStdString());
    if (o.help) {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (o.worker) return RunLinePoller(o.line);
    if (o.config.isEmpty()) return RefuseCommandLine(info, "export needs --config FILE");
    const auto listen = ParseListen(o.listen);
    if (!listen)
        return RefuseCommandLine(
            info, "export: --listen needs HOST:PORT, as 127.0.0.1:9584 or [::1]:9584");

    QString fault;
    const auto targets = LoadTargets(o.config, fault);
    if (!targets) {
        std::fprintf(stderr, "%s\n", qPrintable(fault));
        return 2;
    }
    size_t stations = 0;
    for (const LineTarget& t : *targets)
        stations += t.stations.size();
    if (o.check) {
        std::printf("%s: %zu lines, %zu stations\n", qPrintable(o.config), targets->size(),
                    stations);
        return 0;
    }

    QCoreApplication app(argc, argv);
    Exporter exporter(*targets, QCoreApplication::applicationFilePath());
    if (!exporter.listen(hostAddress(listen->host), listen->port, fault)) {
        std::fprintf(stderr, "qmt584-cli export: %s\n", qPrintable(fault));
        return 1;
    }
    // SIGTERM and Ctrl-C end the pollers and then the exporter, within one period.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, stopPipe) != 0) return 1;
    QSocketNotifier stopNotifier(stopPipe[0], QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, &app, [&] {
        stopNotifier.setEnabled(false);
        exporter.stopPollers(StopWaitMs);
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = onStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    std::fprintf(stderr,
                 "qmt584-cli export: %zu lines, %zu stations; metrics at http://%s/metrics\n",
                 targets->size(), stations, qPrintable(o.listen));
    std::fflush(stderr);
    exporter.startPollers();
    return app.exec();
}

} // namespace qmt::exporter
