#include "link/PortSettings.h"

#include <vornlink.h>

#include <iterator>

namespace qmt {

TPortSettings PortSettings;
bool LinkUp = false;

namespace {

constexpr int32_t SearchRates[] = {VL_SEARCH_RATES}; // fastest first
constexpr int RateCount = int(std::size(SearchRates));
static_assert(RateCount * VL_SEARCH_PARITIES == VL_SEARCH_COMBINATIONS);

const char* const Parities[VL_SEARCH_PARITIES] = {"None", "Odd", "Even"};

} // namespace

bool IsNetworkPort(const QString& name) {
    return name.startsWith(QLatin1String(VL_TCP_PREFIX)) ||
           name.startsWith(QLatin1String(VL_RTU_TCP_PREFIX));
}

int LineSpeedCount() {
    return RateCount;
}

int32_t LineSpeed(int index) {
    return index >= 0 && index < RateCount ? SearchRates[RateCount - 1 - index] : 0;
}

int LineSpeedIndex(int64_t baud) {
    for (int i = 0; i < RateCount; ++i)
        if (LineSpeed(i) == baud) return i;
    return -1;
}

QStringList LineSpeedItems() {
    QStringList items;
    for (int i = 0; i < RateCount; ++i)
        items << QString::number(LineSpeed(i));
    return items;
}

int32_t SearchSpeed(int combination) {
    if (combination < 0 || combination >= VL_SEARCH_COMBINATIONS) return 0;
    return SearchRates[combination / VL_SEARCH_PARITIES];
}

QString ParityName(uint8_t parity) {
    return parity < VL_SEARCH_PARITIES ? QLatin1String(Parities[parity]) : QString::number(parity);
}

QStringList ParityItems() {
    QStringList items;
    for (const char* name : Parities)
        items << QLatin1String(name);
    return items;
}

} // namespace qmt
