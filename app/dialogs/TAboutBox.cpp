#include "dialogs/TAboutBox.h"

#include "common/Ui.h"
#include "dialogs/DialogForm.h"
#include "dialogs/ProgramIcon.h"
#include "dialogs/Version.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace {

// One line of the version information.
QLabel* line(QWidget* parent, const char* name, const QString& text, int x, int y, int w) {
    return qmt::form::label(parent, name, text, {x, y, w, 18});
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent, qmt::form::Closable) {
    qmt::form::setUp(this, "AboutBox", QStringLiteral("О программе"), {298, 228});

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setGeometry(8, 8, 282, 170);

    ProgramIcon = qmt::form::label(panel, "ProgramIcon", QString(), {8, 8, 64, 64});
    ProgramIcon->setPixmap(qmt::ProgramIcon().pixmap(64, 64));

    // Built-in constants stand for the version resource of the program file.
    ProductName =
        line(panel, "ProductName",
             QStringLiteral("Название: ") + QString::fromUtf8(QMT_PRODUCT_NAME), 84, 18, 190);
    Version = line(panel, "Version",
                   QStringLiteral("Версия: ") + QString::fromUtf8(QMT_FILE_VERSION), 84, 44, 190);
    Copyright =
        line(panel, "Copyright",
             QStringLiteral("Copyright: ") + QString::fromUtf8(QMT_LEGAL_COPYRIGHT), 8, 86, 266);
    Autor =
        line(panel, "Autor", QStringLiteral("Автор: ") + QString::fromUtf8(QMT_AUTOR), 8, 112, 266);
    Comments = line(panel, "Comments",
                    QStringLiteral("Описание: ") + QString::fromUtf8(QMT_COMMENTS), 8, 138, 266);

    OKButton = qmt::form::ButtonRow(this, {111, 190, 76, 26}, {})
                   .add("OKButton", QStringLiteral("OK"), qmt::form::Enter::Default);
    qmt::onClicked(OKButton, [this] { accept(); });
}

void TAboutBox::showEvent(QShowEvent* event) {
    // Centred on the screen, not over the main window.
    if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    QDialog::showEvent(event);
}
