#pragma once
// Texts leave the program in the Windows-1251 code page: the value log and the
// channel names sent to the trend viewer.

#include <QByteArray>
#include <QString>

namespace qmt {

// A character with no Windows-1251 form becomes '?', so a line is never lost
// for one odd character.
QByteArray toCp1251(const QString& text);

} // namespace qmt
