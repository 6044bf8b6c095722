#include "link/RegulatorHold.h"

#include "link/Errors.h"
#include "link/PortSettings.h"
#include "link/RegisterMap.h"

#include <set>
#include <utility>

namespace qmt {
namespace {

using Key = std::pair<uint8_t, int>;
std::set<Key> held, owners;

bool overlaps(uint16_t address, uint16_t count, int first, int size) {
    return address < first + size && address + count > first;
}

} // namespace

void holdRegulator(uint8_t station, int n) {
    held.insert({station, n});
}

void releaseRegulator(uint8_t station, int n) {
    held.erase({station, n});
}

bool regulatorHeld(uint8_t station, int n) {
    return held.count({station, n}) > 0;
}

void checkRegulatorHold(uint16_t address, uint16_t count) {
    for (const Key& k : held) {
        if (k.first != PortSettings.address || owners.count(k)) continue;
        if (overlaps(address, count, reg::PidBlock(k.second), reg::PidBlockSize) ||
            overlaps(address, count, reg::LiveBlock(k.second), reg::LiveBlockSize))
            throw Exception(QStringLiteral("ПИД%1 в опыте настройки или ждёт восстановления "
                                           "регистра управления: запись в него запрещена.")
                                .arg(k.second + 1));
    }
}

HoldOwner::HoldOwner(uint8_t station, int n) : station_(station), n_(n) {
    owners.insert({station_, n_});
}

HoldOwner::~HoldOwner() {
    owners.erase({station_, n_});
}

} // namespace qmt
