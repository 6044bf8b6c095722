#include "monitor/ValueLog.h"

#include "common/Cp1251.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace qmt {
namespace {

// Right-aligned in 9 characters; a longer text is kept whole.
QString field(const QString& text) {
    return text.size() >= 9 ? text : text.rightJustified(9, QLatin1Char(' '));
}

// Hundredths as "%9.2f" with a decimal comma, in integer arithmetic so that the
// process locale cannot change the digits or the separator.
QString timeField(std::int32_t hundredths) {
    const std::int64_t v = hundredths;
    const std::int64_t a = v < 0 ? -v : v;
    QString text = QString::number(a / 100) + QLatin1Char(',') +
                   QString::number(a % 100).rightJustified(2, QLatin1Char('0'));
    if (v < 0) text.prepend(QLatin1Char('-'));
    return field(text);
}

QByteArray finish(const QString& line) {
    return toCp1251(line) + "\r\n";
}

} // namespace

ValueLog::~ValueLog() {
    close();
}

bool ValueLog::open(const QString& path, const QDateTime& startUtc, bool mustBeNew) {
    close();
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(),
                          O_WRONLY | O_CREAT | (mustBeNew ? O_EXCL : O_TRUNC) | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    fd_ = fd;
    path_ = path;
    start_ = startUtc;
    return true;
}

void ValueLog::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool ValueLog::writeHeader(const QStringList& channelNames) {
    return writeLine(headerLine(channelNames));
}

bool ValueLog::writeData(const QDateTime& nowUtc, const QStringList& cellTexts) {
    return writeLine(dataLine(elapsedHundredths(start_, nowUtc), cellTexts));
}

QByteArray ValueLog::headerLine(const QStringList& channelNames) {
    QString line = QStringLiteral("  Время  ");
    for (const QString& name : channelNames)
        line += field(name);
    return finish(line);
}

QByteArray ValueLog::dataLine(std::int32_t hundredths, const QStringList& cellTexts) {
    QString line = timeField(hundredths);
    for (const QString& text : cellTexts)
        line += field(text);
    return finish(line);
}

std::int32_t ValueLog::elapsedHundredths(const QDateTime& startUtc, const QDateTime& nowUtc) {
    const std::int64_t ticks = (nowUtc.toMSecsSinceEpoch() - startUtc.toMSecsSinceEpoch()) * 10000;
    return static_cast<std::int32_t>(ticks / 100000);
}

bool ValueLog::writeLine(const QByteArray& line) {
    if (fd_ < 0) return false;
    // Where the line starts: a write that fails part-way is cut back to it, so
    // the log always ends on a whole line.
    const off_t start = ::lseek(fd_, 0, SEEK_CUR);
    const char* p = line.constData();
    std::size_t left = static_cast<std::size_t>(line.size());
    // One write normally takes the line; the loop only finishes a short write.
    while (left > 0) {
        const ssize_t n = ::write(fd_, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (start >= 0 && left < static_cast<std::size_t>(line.size()) &&
                ::ftruncate(fd_, start) == 0)
                ::lseek(fd_, start, SEEK_SET);
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    // Push the line to the device; files that cannot be synced (devices,
    // pipes) have nothing held back.
    if (::fdatasync(fd_) != 0 && errno != EINVAL && errno != EROFS && errno != ENOTSUP)
        return false;
    return true;
}

} // namespace qmt
