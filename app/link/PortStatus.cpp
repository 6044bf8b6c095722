#include "link/PortStatus.h"

#include "link/PortSettings.h"

#include <vornlink.h>

#include <QPainter>
#include <QRadialGradient>

namespace qmt {
namespace {

QPixmap drawLamp(const QColor& light, const QColor& dark) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    // Lit from the upper left: a highlight fading into the lamp's body colour.
    QRadialGradient body(QPointF(6.0, 5.5), 9.0, QPointF(5.5, 5.0));
    body.setColorAt(0.0, light.lighter(170));
    body.setColorAt(0.45, light);
    body.setColorAt(1.0, dark);
    painter.setBrush(body);
    painter.setPen(QPen(dark.darker(150), 1.0));
    painter.drawEllipse(QRectF(1.5, 1.5, 13.0, 13.0));
    return pixmap;
}

} // namespace

QString PortStatusText(bool open) {
    const QString state = open ? QStringLiteral("Открыт: ") : QStringLiteral("Закрыт: ");
    const QString& port = PortSettings.portName;
    // Behind a gateway the stored speed and parity say nothing about the
    // line: the framing is what the engineer has to get right there.
    if (IsNetworkPort(port)) {
        const QString framing = port.startsWith(QLatin1String(VL_TCP_PREFIX))
                                    ? QStringLiteral("Modbus TCP")
                                    : QStringLiteral("RTU поверх TCP");
        return state + port + QStringLiteral("  ") + framing;
    }
    return state + port + QStringLiteral("  ") + QString::number(PortSettings.baud) +
           QStringLiteral(" бод   ") + ParityName(PortSettings.parity);
}

QPixmap PortStatusImage(int index) {
    switch (index) {
    case LampRed:
        return drawLamp(QColor(230, 40, 30), QColor(120, 10, 5));
    case LampGreen:
        return drawLamp(QColor(40, 200, 50), QColor(10, 90, 15));
    case LampGrey:
    case LampGreyOff:
        return drawLamp(QColor(175, 175, 175), QColor(90, 90, 90));
    default:
        return QPixmap();
    }
}

} // namespace qmt
