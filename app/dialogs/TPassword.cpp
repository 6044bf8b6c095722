#include "dialogs/TPassword.h"

TPassword::TPassword(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Password"));
}
