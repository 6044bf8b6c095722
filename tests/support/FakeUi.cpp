#include "FakeUi.h"

#include <QDialog>

namespace qmt::test {

QMessageBox::StandardButton FakePrompts::message(const MessageBoxRequest& request) {
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

QString FakePrompts::openFileName(const FileDialogRequest& request) {
    openRequests.push_back(request);
    if (openAnswers.empty()) return {};
    QString answer = openAnswers.front();
    openAnswers.pop_front();
    return answer;
}

QString FakePrompts::saveFileName(const FileDialogRequest& request) {
    saveRequests.push_back(request);
    if (saveAnswers.empty()) return {};
    QString answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
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
