#include "common/Ui.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>

#include <stdexcept>

namespace qmt {
namespace {

QMessageBox::Icon toQt(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::Warning:
        return QMessageBox::Warning;
    case MsgIcon::Error:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

class DesktopPrompts final : public Prompts {
public:
    QMessageBox::StandardButton message(const MessageBoxRequest& r) override {
        QMessageBox box(toQt(r.icon), r.caption, r.text, r.buttons, r.owner);
        return static_cast<QMessageBox::StandardButton>(box.exec());
    }

    QString openFileName(const FileDialogRequest& r) override {
        QFileDialog dialog(r.owner, r.caption, r.directory, r.filter);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setOption(QFileDialog::ReadOnly, false);
        dialog.setOption(QFileDialog::HideNameFilterDetails, r.hideFilterDetails);
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    }

    QString saveFileName(const FileDialogRequest& r) override {
        QFileDialog dialog(r.owner, r.caption, r.directory, r.filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(r.defaultSuffix);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !r.confirmOverwrite);
        dialog.setOption(QFileDialog::HideNameFilterDetails, r.hideFilterDetails);
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    }

    int execModal(QDialog* dialog) override { return dialog->exec(); }
};

DesktopPrompts desktopPrompts;
Prompts* currentPrompts = &desktopPrompts;

// The notices of the display-free code become message boxes through the
// prompts (so tests answer them as any other box).
class BoxNotices final : public Notices {
public:
    void notice(const QString& text, const QString& caption, MsgIcon icon) override {
        showMessage(text, caption, icon);
    }
};

BoxNotices boxNotices;
[[maybe_unused]] const bool boxNoticesInstalled = (setNotices(&boxNotices), true);

} // namespace

Prompts& prompts() {
    return *currentPrompts;
}
void setPrompts(Prompts* replacement) {
    currentPrompts = replacement ? replacement : &desktopPrompts;
}

QMessageBox::StandardButton showMessage(const QString& text, const QString& caption, MsgIcon icon,
                                        QWidget* owner, QMessageBox::StandardButtons buttons) {
    MessageBoxRequest request;
    request.owner = owner;
    request.text = text;
    request.caption = caption;
    request.icon = icon;
    request.buttons = buttons;
    return prompts().message(request);
}

namespace {
QString& caption() {
    static QString text = QStringLiteral("QMT584_View");
    return text;
}
} // namespace

void setErrorCaption(const QString& text) {
    caption() = text;
}

QString errorCaption() {
    return caption();
}

void showException(const std::exception& error) {
    // The program's own exceptions carry their Russian text as UTF-8 in what().
    const QString text = QString::fromUtf8(error.what());
    // Over the window the user works in, not in the middle of the screen.
    QWidget* owner = QApplication::activeModalWidget();
    if (!owner) owner = QApplication::activeWindow();
    showMessage(text, caption(), MsgIcon::Error, owner);
}

bool guarded(const std::function<void()>& action) {
    try {
        action();
        return true;
    } catch (const std::exception& error) {
        showException(error);
    } catch (...) {
        showException(std::runtime_error("Неизвестная ошибка"));
    }
    return false;
}

void onClicked(QAbstractButton* button, std::function<void()> handler) {
    QObject::connect(button, &QAbstractButton::clicked, button,
                     [handler = std::move(handler)] { guarded(handler); });
}

void onTriggered(QAction* action, std::function<void()> handler) {
    QObject::connect(action, &QAction::triggered, action,
                     [handler = std::move(handler)] { guarded(handler); });
}

BusyCursor::BusyCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyCursor::~BusyCursor() {
    QApplication::restoreOverrideCursor();
}

} // namespace qmt
