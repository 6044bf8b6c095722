// The trace of taken records and events, for the tests of the built viewer.
#include "ui/TraceLog.h"

#include "core/Dataset.h"

#include <QFile>

#include <cstdlib>

namespace curvix {

TraceLog::TraceLog() {
    if (const char* path = std::getenv("CURVIX_DUMP"); path && *path) {
        file_ = std::make_unique<QFile>(QString::fromLocal8Bit(path));
        if (!file_->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
            file_.reset();
    }
}

TraceLog::~TraceLog() = default;

void TraceLog::line(const QString& text) {
    if (!file_) return;
    file_->write((text + QLatin1Char('\n')).toUtf8());
}

void TraceLog::record(const Record& r, const Dataset& data) {
    switch (r.type) {
    case RecordType::Begin:
        line(QStringLiteral("begin"));
        break;
    case RecordType::Channel:
        line(QStringLiteral("channel %1 %2").arg(r.id).arg(data.find(r.id)->name));
        break;
    case RecordType::Start:
        line(QStringLiteral("start"));
        break;
    case RecordType::Sample: {
        const Channel* c = data.find(r.id);
        line(QStringLiteral("sample %1 %2 %3 %4")
                 .arg(r.id)
                 .arg(c->samples.lastTime())
                 .arg(QString::number(double(r.value), 'g', 9))
                 .arg(c->name));
        break;
    }
    case RecordType::Invalid:
        line(QStringLiteral("invalid ") + r.error);
        break;
    }
}

} // namespace curvix
