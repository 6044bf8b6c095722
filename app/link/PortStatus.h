#pragma once
// What the main window's status bar shows about the port: a lamp and a line of
// text, as of the last attempt to open the port of PortSettings.

#include <QPixmap>
#include <QString>

namespace qmt {

// Images of the lamp list: 0 red, 1 grey, 2 green, 3 grey; 16 x 16 each.
enum PortStatusLamp { LampRed = 0, LampGrey = 1, LampGreen = 2, LampGreyOff = 3 };
constexpr int PortStatusImageCount = 4;

// "Открыт: " or "Закрыт: ", then the port, baud rate and parity of PortSettings,
// e.g. "Открыт: /dev/ttyS0  19200 бод   Even"; for a network port the address
// and its framing, "Открыт: tcp://10.0.0.7:502  Modbus TCP".
QString PortStatusText(bool open);

// The lamp for the glyph pane: PortStatusImage(open ? LampGreen : LampRed).
// An index outside 0..3 gives a null pixmap.
QPixmap PortStatusImage(int index);

} // namespace qmt
