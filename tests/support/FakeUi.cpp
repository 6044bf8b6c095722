#include "FakeUi.h"

#include <QDialog>

namespace qmt::test {

QMessageBox::StandardButton FakePrompts::message(const MessageBoxRequest& request) {
    if (onMessage) onMessage(request);
    shown.push_back(request);
    if (!answers.empty()) {
        const auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
    // The first standard button the box offers (Ok, Yes ... in enum order).
    for (unsigned bit = QMessageBox::FirstButton; bit <= QMessageBox::LastButton; bit <<= 1) {
        if (request.buttons & bit) return static_cast<QMessageBox::StandardButton>(bit);
    }
    return QMessageBox::Ok;
}

namespace {

// The next scripted file name; none left is a cancelled dialog.
QString next(std::deque<QString>& answers) {
    if (answers.empty()) return {};
    QString answer = answers.front();
    answers.pop_front();
    return answer;
}

} // namespace

QString FakePrompts::openFileName(const FileDialogRequest& request) {
    openRequests.push_back(request);
    return next(openAnswers);
}

QString FakePrompts::saveFileName(const FileDialogRequest& request) {
    saveRequests.push_back(request);
    return next(saveAnswers);
}

int FakePrompts::execModal(QDialog* dialog) {
    modalShown.push_back(dialog);
    if (modalScripts.empty()) return QDialog::Rejected;
    auto script = std::move(modalScripts.front());
    modalScripts.pop_front();
    return script(dialog);
}

QStringList FakePrompts::texts() const {
    QStringList out;
    for (const auto& r : shown)
        out << r.text;
    return out;
}

} // namespace qmt::test
