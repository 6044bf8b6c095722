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
    // The name only: a display name set explicitly is appended by the window system
    // to every caption ("Параметры порта — QMT584_View"), and the captions are fixed.
    QApplication::setApplicationName(QStringLiteral("QMT584_View"));
}

} // namespace qmt
