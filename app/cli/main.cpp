// qmt584-cli: the module from a shell, through the program's own code.
#include "cli/CliOptions.h"
#include "cli/CliRun.h"
#include "common/CommandLine.h"
#include "export/ExportCommand.h"

#include <QCoreApplication>
#include <QStringList>

namespace {

const char Details[] =
    "Line settings (default: the program's settings file, which is never changed):\n"
    "  --port P                 serial device, or a network gateway:\n"
    "                           tcp://HOST:PORT (Modbus TCP) or rtu+tcp://HOST:PORT\n"
    "                           (RTU frames over TCP)\n"
    "  --baud B                 bit/s\n"
    "  --parity none|odd|even\n"
    "  --address N              station; read-config, write-config and diff take a\n"
    "                           list such as 1,3,5-9 and run for each station in turn\n"
    "  --settings FILE          read the line settings from FILE instead (it must exist)\n"
    "  --trace FILE             append every request and reply to FILE, one line each:\n"
    "                           time, TX or RX, the bytes in hex | what they say\n"
    "\n"
    "Commands:\n"
    "  read-config FILE.pid     read the configuration and save it as a .pid file\n"
    "                           (with several stations: FILE-N.pid for station N)\n"
    "  write-config FILE.pid [--changed] [--dry-run]\n"
    "                           write the file's configuration to the module; with\n"
    "                           --changed only the registers that differ from the\n"
    "                           module's; with --dry-run list what would change,\n"
    "                           register by register; a file lacking any key is\n"
    "                           refused, nothing written\n"
    "  diff FILE.pid            compare module and file; exit 1 when they differ\n"
    "  values [--period MS] [--count N] [--log FILE [--overwrite]]\n"
    "                           the values window's read cycle, one line per cycle;\n"
    "                           Ctrl-C ends it after the current cycle; the log is\n"
    "                           a new file unless --overwrite\n"
    "  get ADDR[..ADDR]         read holding registers\n"
    "  set ADDR VALUE [--protected]\n"
    "                           write a register (--protected: the write-enable code first);\n"
    "                           VALUE -32768..65535 or 0x0..0xFFFF, the whole text\n"
    "  search --version QMT-584|QMT-584.1 --serial C0015\n"
    "                           find the module's baud rate and parity (serial lines only)\n"
    "  restarts [--clear]       the restart counter\n"
    "  scan [--from N] [--to N] ask every station 1..247 (or N..N) at the line's\n"
    "                           settings; one line per station that answers:\n"
    "                           address, type, serial number, firmware\n"
    "  tune --regulator N --step DY [--rule simc|lambda] [--tc S] [--max-time S]\n"
    "       [--write] [--log FILE]\n"
    "                           bump test: prints K, T, L, fit_error_pct and the\n"
    "                           proposal Kp, Ti, Td with its words; writes them only\n"
    "                           with --write; the regulator is restored however it ends\n"
    "  export --config FILE [--listen HOST:PORT] [--check]\n"
    "                           serve the values of the targets file's lines and\n"
    "                           stations to Prometheus (read-only; default\n"
    "                           127.0.0.1:9584); --check validates the file\n"
    "\n"
    "Exit status: 0 success, 1 module or file error (or a difference found by diff),\n"
    "2 usage error. A module's error names the port and the station:\n"
    "  /dev/ttyS0, станция 1: Нет ответа!\n";

qmt::CommandLineInfo commandLine() {
    qmt::CommandLineInfo info = {"qmt584-cli",
                                 QMT_VERSION,
                                 "[LINE SETTINGS] COMMAND [ARGUMENTS]",
                                 "The QMT-584 module from the command line: configuration, "
                                 "values, registers.",
                                 Details,
                                 0};
    info.toolkitOptions = false;
    return info;
}

} // namespace

int main(int argc, char** argv) {
    const qmt::CommandLineInfo info = commandLine();
    if (const auto answered = qmt::HandleHelpAndVersion(
            argc, argv, info, {"--port", "--baud", "--parity", "--address", "--settings", "--trace"}))
        return *answered;
    // The exporter has its own options and runs its lines' pollers itself.
    if (argc > 1 && qstrcmp(argv[1], "export") == 0) return qmt::exporter::Main(argc, argv, info);

    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    qmt::cli::Invocation invocation;
    const QString error = qmt::cli::ParseInvocation(args, invocation);
    if (!error.isEmpty()) return qmt::cli::RefuseUsage(error);
    return qmt::cli::Run(invocation);
}
