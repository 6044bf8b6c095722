#pragma once
// The exporter's HTTP side: one line poller process per line of the targets
// file, and /metrics served from the samples each poller last reported. A
// scrape never waits for a line; it shows the last round's values.

#include "export/Targets.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QStringList>

#include <memory>
#include <vector>

class QHttpServer;
class QProcess;
class QTimer;

namespace qmt::exporter {

class Exporter : public QObject {
public:
    // program: the executable started as each line's poller (this tool).
    Exporter(std::vector<LineTarget> targets, QString program);
    ~Exporter() override;

    // false with error set when the address cannot be listened on.
    bool listen(const QHostAddress& address, quint16 port, QString& error);
    void startPollers();
    // Ends every poller: SIGTERM, then SIGKILL for one that is still there
    // after waitMs.
    void stopPollers(int waitMs);

    QByteArray scrape() const;

private:
    struct Line;
    void startPoller(Line& line);
    void readPoller(Line& line);
    void pollerEnded(Line& line);

    std::vector<std::unique_ptr<Line>> lines_;
    QString program_;
    std::unique_ptr<QHttpServer> server_;
    bool stopping_ = false;
};

// The arguments that start the poller of one line with this tool.
QStringList PollerArguments(const LineTarget& target);

} // namespace qmt::exporter
