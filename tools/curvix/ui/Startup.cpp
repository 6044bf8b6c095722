#include "ui/Startup.h"

#include "link/Ui.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QTranslator>

namespace curvix {

void prepareApplication(QApplication& app) {
    QApplication::setApplicationName(QStringLiteral("curvix"));
    // The guard's boxes name the viewer, not the program that started it.
    qmt::setErrorCaption(QStringLiteral("curvix"));
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(13);
    QApplication::setFont(font);
    auto* translator = new QTranslator(&app);
    if (translator->load(QStringLiteral("qtbase_ru"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
    else
        delete translator;
}

} // namespace curvix
