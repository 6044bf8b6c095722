#include "dialogs/TfOutParam.h"

TfOutParam::TfOutParam(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("fOutParam"));
}
