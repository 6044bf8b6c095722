// The viewer's start-up: the protocol's output kept apart, the application prepared.
#include "ui/Startup.h"

#include "common/Ui.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QTranslator>

#include <fcntl.h>
#include <unistd.h>

namespace curvix {

int protectProtocolOutput() {
    const int fd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (fd < 0) return STDOUT_FILENO;
    if (::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        ::close(fd);
        return STDOUT_FILENO;
    }
    return fd;
}

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
