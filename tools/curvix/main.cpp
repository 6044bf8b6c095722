// curvix: trend viewer. Without arguments it takes the program's values from
// standard input and answers on standard output; with a file name it shows a
// value log.

#include "ui/CurvixWindow.h"
#include "ui/Startup.h"

#include <QApplication>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

int main(int argc, char* argv[]) {
    // The program may go at any moment; its closed pipe must not end the viewer.
    std::signal(SIGPIPE, SIG_IGN);
    // Live, fd 1 carries frames: taken aside before anything can print.
    bool live = true;
    for (int i = 1; i < argc; ++i)
        if (argv[i][0] != '-') live = false; // a file name (Qt's own options start with '-')
    const int protocolOut = live ? curvix::protectProtocolOutput() : STDOUT_FILENO;
    QApplication app(argc, argv);
    curvix::prepareApplication(app);

    const QStringList args = QApplication::arguments().mid(1);
    if (args.size() > 1 || (args.size() == 1 && args[0].startsWith(QLatin1Char('-')))) {
        std::fprintf(
            stderr, "usage: curvix            live values from the program (pipes)\n"
                    "       curvix FILE.log   a value log\n"
                    "       curvix FILE.csv   a CSV (its own export, or any with a time column)\n");
        return 2;
    }
    curvix::CurvixWindow window(args.isEmpty() ? curvix::TimeBase::LocalTime
                                               : curvix::TimeBase::Elapsed);
    if (args.isEmpty()) {
        window.attach(STDIN_FILENO, protocolOut);
    } else {
        window.loadLog(args[0]);
    }
    window.show();
    return app.exec();
}
