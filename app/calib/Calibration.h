#pragma once
// The calibration wizard: after the password and a confirmation it reads the
// module type and leads the engineer through the steps of that module, then
// writes the coefficients it computed. For the whole run the program talks to
// station 1 at 19200 baud, even parity, and returns to PortSettings however
// the run ends.

#include <array>
#include <cstdint>

class QWidget;

namespace qmt {

// The menu command "Калибровка...". Communication failures reach the caller
// after the port settings are restored.
void RunCalibration(QWidget* owner);

// Coefficient block from two points, x being what the block produces and y
// what it is applied to: gain low word, gain high word, offset. Two equal y
// have no line through them: ECalibError::equalReadings, nothing computed.
std::array<uint16_t, 3> CalibrationBlock(double x1, double y1, double x2, double y2);

} // namespace qmt
