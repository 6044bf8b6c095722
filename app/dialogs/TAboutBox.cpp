#include "dialogs/TAboutBox.h"

#include "common/Ui.h"
#include "dialogs/ProgramIcon.h"
#include "dialogs/Version.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace {

QLabel* label(const QString& text, const char* name, QWidget* parent, int x, int y, int w) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(x, y, w, 18);
    return l;
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("О программе"));
    setFixedSize(298, 228);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setGeometry(8, 8, 282, 170);

    ProgramIcon = new QLabel(panel);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(8, 8, 64, 64);
    ProgramIcon->setPixmap(qmt::ProgramIcon().pixmap(64, 64));

    // Built-in constants stand for the version resource of the program file.
    ProductName = label(QStringLiteral("Название: ") + QString::fromUtf8(QMT_PRODUCT_NAME),
                        "ProductName", panel, 84, 18, 190);
    Version = label(QStringLiteral("Версия: ") + QString::fromUtf8(QMT_FILE_VERSION), "Version",
                    panel, 84, 44, 190);
    Copyright = label(QStringLiteral("Copyright: ") + QString::fromUtf8(QMT_LEGAL_COPYRIGHT),
                      "Copyright", panel, 8, 86, 266);
    Autor = label(QStringLiteral("Автор: ") + QString::fromUtf8(QMT_AUTOR), "Autor", panel, 8, 112,
                  266);
    Comments = label(QStringLiteral("Описание: ") + QString::fromUtf8(QMT_COMMENTS), "Comments",
                     panel, 8, 138, 266);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(111, 190, 76, 26);
    OKButton->setDefault(true);
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
