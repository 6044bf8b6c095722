#pragma once
// Port settings dialog: port, speed, parity and station address, and the
// automatic search for a module by its version and serial number.
//
// Use: create it anew for each command, run it modally, and when it closes
// with QDialog::Accepted take accepted() (then also PortSettings and the
// settings file hold what it opened); then delete it. It does not delete itself.
// When it ends otherwise after portDisturbed(), the library's port is no longer
// the one of PortSettings: the caller reopens that one and shows its state.

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

class TParCOM : public QDialog {
    Q_OBJECT
public:
    // Fills the controls from PortSettings.
    explicit TParCOM(QWidget* parent = nullptr);
    ~TParCOM() override;

    // True once OK has opened the port and stored the settings.
    bool accepted() const { return accepted_; }
    // True once a failed OK (the library closes the old port before it tries
    // the new one) or a search has moved the library's port away from PortSettings.
    bool portDisturbed() const { return portDisturbed_; }

    // Handlers.
    void cbPortDropDown();
    // Clears key when it is neither a digit nor a control character.
    void edAddressKeyPress(QChar& key);
    void btOkClick();
    void btDefaultClick();
    void btAutoClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void selectSpeed(int64_t baud); // leaves the selection alone for other rates
    // Speed, parity and the search do not apply behind an Ethernet gateway.
    void showLineControlsFor(const QString& port);

    QComboBox* cbPort;
    QComboBox* cbSpeed;
    QComboBox* cbParity;
    QLineEdit* edAddress;
    QPushButton* btOk;
    QPushButton* btCancel;
    QPushButton* btDefault;
    QComboBox* cbType;
    QComboBox* cbSerNumAlpha;
    QLineEdit* edNumber;
    QPushButton* btAuto;
    bool accepted_ = false;
    bool portDisturbed_ = false;
};
