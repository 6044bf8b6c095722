#include "config/TPidConf.h"

TPidConf::TPidConf(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("PidConf"));
    setWindowTitle(QStringLiteral("QMT584_View"));
}
