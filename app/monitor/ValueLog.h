#pragma once
// The value log of the values window: a text file in Windows-1251 with CR LF,
// one header naming the selected channels, then one line per read cycle with
// the elapsed time and the cell texts, each in a 9-character column.
//
// Every line goes to the file in one write and is pushed to the device before
// the next read cycle, so an interrupted night run keeps every line but the
// one being written. A failed write is reported to the caller, never ignored,
// and never leaves part of a line behind.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace qmt {

class ValueLog {
public:
    ValueLog() = default;
    ~ValueLog();
    ValueLog(const ValueLog&) = delete;
    ValueLog& operator=(const ValueLog&) = delete;

    // Creates or truncates the file and takes startUtc as the time origin;
    // with mustBeNew only creates it, in the same step, so that a file made
    // meanwhile by anyone is never replaced. false (nothing open, errno
    // saying why, EEXIST for an existing one) when the file cannot be created.
    bool open(const QString& path, const QDateTime& startUtc, bool mustBeNew = false);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    const QString& path() const { return path_; }

    // Write one line; false when the file did not take it whole.
    bool writeHeader(const QStringList& channelNames);
    bool writeData(const QDateTime& nowUtc, const QStringList& cellTexts);

    // The lines as they go to the file (Windows-1251, CR LF included).
    static QByteArray headerLine(const QStringList& channelNames);
    static QByteArray dataLine(std::int32_t hundredths, const QStringList& cellTexts);
    // Whole hundredths of a second from start to now, counted as the system
    // clock's 100-nanosecond units and truncated.
    static std::int32_t elapsedHundredths(const QDateTime& startUtc, const QDateTime& nowUtc);

private:
    bool writeLine(const QByteArray& line);

    int fd_ = -1;
    QString path_;
    QDateTime start_;
};

} // namespace qmt
