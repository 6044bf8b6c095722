#pragma once
// Password gate in front of the service functions. Created once at start and
// reused; ask it through qmt::AskPassword(), which every service function
// does each time, so nothing remembers a password once given.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class TPassword : public QDialog {
    Q_OBJECT
public:
    // Modal results. Any way of closing other than "ОК" (Escape, the window
    // system) rejects the dialog and so counts as refused.
    static constexpr int Granted = QDialog::Accepted;
    static constexpr int Refused = QDialog::Rejected;

    explicit TPassword(QWidget* parent = nullptr);
    ~TPassword() override;

    // Handlers.
    void btOKClick();
    // Raises "Неправильный пароль!" unless the text is the password; before
    // raising it clears the field and gives it the focus for another try.
    void CheckPassword(const QString& text);

    // The comparison alone: the characters' Windows-1251 codes as signed
    // 8-bit values, squared, against the stored table.
    static bool Matches(const QString& text);

    QLabel* lbPass;
    QLineEdit* edPass;
    QPushButton* btOK;
};

namespace qmt {
// Shows Password modally with an empty field; true when granted. Without the
// start-up window (no Password) it refuses.
bool AskPassword();
} // namespace qmt
