#pragma once
// The only road to the module: holding-register reads and writes with three
// attempts, protected writes behind the write-enable code, and the value
// conversions the dialogs share. Failures raise ECommError.

#include <QString>

#include <cstdint>

namespace qmt {

void ReadRegisters(uint16_t address, uint16_t count, uint16_t* buffer);
void ReadRegister(uint16_t address, uint16_t& value);
uint16_t ReadRegister(uint16_t address);
void WriteRegisters(uint16_t address, uint16_t count, const uint16_t* buffer);
void WriteRegister(uint16_t address, uint16_t value);
void WriteProtectedRegisters(uint16_t address, uint16_t count, const uint16_t* buffer);
void WriteProtectedRegister(uint16_t address, uint16_t value);

// Opens the port through the library; shows its own message on failure. Never raises.
bool OpenPort(const QString& name, int32_t baud, uint8_t parity);

// kind: 1 unsigned decimal, 2 signed decimal, 3 upper-case hexadecimal.
QString FormatRegisterValue(uint16_t value, int kind);
uint16_t ParseRegisterValue(const QString& text, int kind);
// The one integer reading of every field: one number from the start of the
// text as scanf's "%d" reads it ("%X" with hex, which takes a 0x prefix).
// White space before it is skipped, characters after it are ignored, and a
// text of white space alone reads as 0. No number: "\" <text> \" не является
// целым числом"; outside min..max: "Значение <text> выходит за пределы <min> -
// <max>!". ParseRegisterValue is this over the range of its kind.
long long ParseInteger(const QString& text, long long min, long long max, bool hex = false);
// printf "%.<decimals>f" with a comma as the decimal separator.
QString FormatFloat(float value, int16_t decimals);

} // namespace qmt
