#include "link/Startup.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <clocale>

namespace qmt {

void PrepareApplication() {
    std::setlocale(LC_NUMERIC, "C");
    // Liberation Sans has the advance widths of the font the windows were laid
    // out for, so the designed rectangles hold their texts at this size.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(12);
    QApplication::setFont(font);

    // Qt's own dialogs and standard buttons speak the program's language,
    // whatever the user's locale.
    static QTranslator* qtbase = nullptr;
    if (!qtbase) {
        qtbase = new QTranslator(qApp);
        if (qtbase->load(QStringLiteral("qtbase_ru"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QApplication::installTranslator(qtbase);
    }
}

void SetApplicationTitle() {
    // The name only: a display name set explicitly is appended by the window system
    // to every caption ("Параметры порта — QMT584_View"), and the captions are fixed.
    QApplication::setApplicationName(QStringLiteral("QMT584_View"));
}

} // namespace qmt
