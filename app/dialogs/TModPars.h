#pragma once
// Service settings of the module: its own station address, baud rate and
// parity, and its passport. The registration number and the manufacture date
// can be changed only after the password; the dialog asks for it each time it
// is shown.
//
// Use: create it anew for each command, run it modally, delete it.

#include "link/StationScan.h" // ModuleTypeName, shared with the station list

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;
class QShowEvent;

class TModPars : public QDialog {
    Q_OBJECT
public:
    explicit TModPars(QWidget* parent = nullptr);
    ~TModPars() override;

    // Handlers. FormShow runs when the dialog is shown; tests call it directly.
    void FormShow();
    void btReadClick();
    void btWriteClick();
    void btDefClick();

    QLineEdit* edAdress;
    QComboBox* cbSpeed;
    QComboBox* cbParity;
    QLineEdit* edName;
    QComboBox* cbAlpha;
    QLineEdit* edNumber;
    QLineEdit* edManuf;
    QLineEdit* edCheck;
    QLineEdit* edVer;
    QPushButton* btWrite;
    QPushButton* btRead;
    QPushButton* btDef;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The passport fields only the password opens.
    void setPassportEditable(bool editable);
};
