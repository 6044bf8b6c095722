#include "dialogs/TInParam.h"

TInParam::TInParam(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("InParam"));
}
