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

// The status bar's notes after "Записать": written to the module, or stored
// in the configuration only.
QString WrittenText();
QString StoredOnlyText();
// The note for the link's state; with the link down the box as well: the
// values did not reach the module, which must not pass unnoticed.
void TellWritten(QWidget* owner);

} // namespace qmt
