// Curve colours and how a value is written, shared by the window's rooms.
#include "ui/WindowCommon.h"

namespace curvix {
namespace {

const QColor kPalette[] = {
    QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28), QColor(0x2c, 0xa0, 0x2c),
    QColor(0xff, 0x7f, 0x0e), QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
    QColor(0xe3, 0x77, 0xc2), QColor(0x7f, 0x7f, 0x7f), QColor(0xbc, 0xbd, 0x22),
    QColor(0x17, 0xbe, 0xcf), QColor(0x00, 0x00, 0x80), QColor(0x80, 0x00, 0x00),
    QColor(0x00, 0x80, 0x80), QColor(0x80, 0x80, 0x00)};

} // namespace

QColor colorOf(int index) {
    const int n = int(sizeof kPalette / sizeof kPalette[0]);
    return kPalette[((index % n) + n) % n];
}

QString number(double v) {
    if (!std::isfinite(v)) return std::isnan(v) ? QStringLiteral("нет числа") : QStringLiteral("∞");
    QString text = QString::number(v, 'g', 7);
    text.replace(QLatin1Char('.'), QLatin1Char(','));
    return text;
}

} // namespace curvix
