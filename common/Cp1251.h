#pragma once
// Windows-1251, the code page of the value log and of the channel names the
// trend viewer gets. One built-in table serves both directions, so no text
// depends on what converters the system happens to have installed.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace qmt {

// Byte 0x98 has no character: it reads as U+FFFD.
inline constexpr char16_t Cp1251Undefined = u'\uFFFD';
// A character the code page cannot hold is written as this byte, one for
// each character (a pair of surrogates is one character).
inline constexpr char Cp1251Replacement = '?';

// The character of one byte.
char16_t cp1251ToUnicode(unsigned char byte);
QString fromCp1251(QByteArrayView bytes);
QByteArray toCp1251(QStringView text);

} // namespace qmt
