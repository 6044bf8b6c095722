#pragma once
// The automatic search for a module's line settings, one speed and parity at
// a time, so whoever runs it can say which combination is being tried. Shared
// by the port dialog and the command line; no widgets.

#include <QString>

#include <vornlink.h>

#include <cstdint>
#include <functional>

namespace qmt {

// The library's scan order: its speeds from 115200 down, each with parity
// 0 (none), 1 (odd) and 2 (even).
constexpr int SearchCombinations = VL_SEARCH_COMBINATIONS;
struct LineSetting {
    uint32_t baud = 0;
    uint8_t parity = 0;
};
LineSetting SearchCombination(int index);

struct SearchRequest {
    QString port;
    uint16_t version = 0;
    uint16_t serial = 0;
    uint8_t address = 0;
};

// Called before each probe with the combination's index (0..23) and setting.
// When the library has no single-step entry point the whole search runs in
// one call and this is called once, with index -1.
using SearchStep = std::function<void(int index, const LineSetting& setting)>;

// The library's status (0 found, 11..13 port, 14 not found, 17 CRC); found
// holds the setting only on 0. The port is left as the library leaves it.
int32_t SearchModule(const SearchRequest& request, LineSetting& found,
                     const SearchStep& onStep = {});

// "19200 бод, Even (15 из 24)": the combination as the port dialog names it.
QString SearchStepText(int index);

} // namespace qmt
