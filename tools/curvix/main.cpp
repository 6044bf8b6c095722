// curvix: trend viewer. Without arguments it takes the program's values from
// standard input and answers on standard output; with a file name it shows a
// value log.

#include "common/CommandLine.h"
#include "core/MeasureCommand.h"
#include "ui/CurvixWindow.h"
#include "ui/Startup.h"

#include <QApplication>
#include <QCoreApplication>

#include <csignal>
#include <unistd.h>

namespace {

const qmt::CommandLineInfo CommandLine = {
    "curvix",
    QMT_VERSION,
    "[OPTION]... [FILE.log | FILE.csv]",
    "Trend viewer of QMT584_View: live values from the program, or a value log.",
    "Without FILE.log the viewer takes the program's values on standard input and\n"
    "answers on standard output, as QMT584_View starts it (\"Вести тренды\").\n"
    "With FILE.log it shows a value log written by \"Записывать в файл\"; with\n"
    "FILE.csv a CSV: its own export, or any with a header row and a time column.\n"
    "\n"
    "  --measure FILE [--from S] [--to S] [--csv]\n"
    "      print the statistics of every channel and the step figures of every\n"
    "      regulator between S and S seconds of FILE (its whole length by default),\n"
    "      one line a figure as the window's panel shows them, and exit; --csv\n"
    "      prints them as CSV.\n",
    1};

} // namespace

int main(int argc, char* argv[]) {
    if (curvix::wantsMeasure(argc, argv)) {
        QCoreApplication app(argc, argv);
        return curvix::measureCommand(app.arguments().mid(1), stdout, stderr);
    }
    QStringList args;
    if (const auto done = qmt::HandleCommandLine(argc, argv, CommandLine, &args)) return *done;
    // The program may go at any moment; its closed pipe must not end the viewer.
    std::signal(SIGPIPE, SIG_IGN);
    // Live, fd 1 carries frames: taken aside before anything can print.
    const bool live = args.isEmpty();
    const int protocolOut = live ? curvix::protectProtocolOutput() : STDOUT_FILENO;
    QApplication app(argc, argv);
    curvix::prepareApplication(app);
    curvix::CurvixWindow window(args.isEmpty() ? curvix::TimeBase::LocalTime
                                               : curvix::TimeBase::Elapsed);
    window.show();
    // A file opens on a worker thread, the window showing how far it got.
    if (args.isEmpty())
        window.attach(STDIN_FILENO, protocolOut);
    else
        window.openLog(args[0]);
    return app.exec();
}
