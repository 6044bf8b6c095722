#include "dialogs/TModPars.h"

TModPars::TModPars(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ModPars"));
}
