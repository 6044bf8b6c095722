#include "link/StatusReport.h"

namespace qmt {
ProgressNote::ProgressNote(const QString& text) {
    if (!text.isEmpty()) show(text);
}

ProgressNote::~ProgressNote() {
    end();
}

void ProgressNote::show(const QString& text) {
    ended_ = false;
    status().progress(text);
}

void ProgressNote::end() {
    if (ended_) return;
    ended_ = true;
    status().progress(QString());
}

QString RegisterCount(int count) {
    const int tens = count % 100, units = count % 10;
    const char* word = "регистров";
    if (tens < 11 || tens > 14) {
        if (units == 1)
            word = "регистр";
        else if (units >= 2 && units <= 4)
            word = "регистра";
    }
    return QString::number(count) + QLatin1Char(' ') + QString::fromUtf8(word);
}

} // namespace qmt
