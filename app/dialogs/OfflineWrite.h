#pragma once
// "Записать" of a parameter dialog while the module does not answer: the values
// go into the configuration model only (that is how a .pid file is prepared
// without a module), and the engineer is told so, lest he take the dialog's
// fields for what the module holds.

#include <QString>

class QWidget;

namespace qmt {

QString OfflineWriteText();
// The information box with OfflineWriteText(), over owner.
void TellWrittenOffline(QWidget* owner);

} // namespace qmt
