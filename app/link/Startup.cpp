#include "link/Startup.h"

#include <QApplication>
#include <QFont>

#include <clocale>

namespace qmt {

void PrepareApplication() {
    std::setlocale(LC_NUMERIC, "C");
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(14);
    QApplication::setFont(font);
}

void SetApplicationTitle() {
    QApplication::setApplicationName(QStringLiteral("QMT584_View"));
    QApplication::setApplicationDisplayName(QStringLiteral("QMT584_View"));
}

} // namespace qmt
