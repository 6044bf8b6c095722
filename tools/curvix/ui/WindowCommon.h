#pragma once
// Small pieces the parts of the viewer's window share: curve colours, how a
// value is written, plot keys (seconds) to milliseconds.

#include <QColor>
#include <QString>

#include <cmath>
#include <cstdint>

namespace curvix {

QColor colorOf(int index);

// Seven significant digits with a decimal comma; "нет числа" and "∞" for the rest.
QString number(double v);

inline int64_t toMs(double key) {
    return int64_t(std::llround(key * 1000.0));
}

} // namespace curvix
