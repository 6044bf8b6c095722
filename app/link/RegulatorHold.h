#pragma once
// A regulator under a bump test, or waiting for its saved control word and
// forced value to be written back: no write but the test's own reaches its
// registers until the restore has been read back. WriteRegisters checks here.

#include <cstdint>

namespace qmt {

// Regulator n (0..2) of station.
void holdRegulator(uint8_t station, int n);
void releaseRegulator(uint8_t station, int n);
bool regulatorHeld(uint8_t station, int n);

// Raises Exception when a write of count registers from address at the
// station in PortSettings touches a held regulator's parameter or live block
// and no HoldOwner of it is alive.
void checkRegulatorHold(uint16_t address, uint16_t count);

// For its life, the holder's own writes pass.
class HoldOwner {
public:
    HoldOwner(uint8_t station, int n);
    ~HoldOwner();
    HoldOwner(const HoldOwner&) = delete;
    HoldOwner& operator=(const HoldOwner&) = delete;

private:
    uint8_t station_;
    int n_;
};

} // namespace qmt
