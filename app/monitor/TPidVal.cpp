#include "monitor/TPidVal.h"

TPidVal::TPidVal(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("PidVal"));
}
