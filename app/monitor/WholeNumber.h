#pragma once
// The values window sends what Enter confirms straight to a running module, with
// no dialog showing the value first: only a whole decimal number, blanks around
// it allowed, is a value there.

#include <QString>

namespace qmt {

// An optional sign and at least one decimal digit, nothing else but blanks
// around them.
inline bool IsWholeNumber(const QString& text) {
    const QString t = text.trimmed();
    const int start = t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+')) ? 1 : 0;
    if (t.size() <= start) return false;
    for (int i = start; i < t.size(); ++i)
        if (t[i] < QLatin1Char('0') || t[i] > QLatin1Char('9')) return false;
    return true;
}

} // namespace qmt
