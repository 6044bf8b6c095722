#include "dialogs/TPidParam.h"

TPidParam::TPidParam(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("PidParam"));
}
