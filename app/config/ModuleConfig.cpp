#include "config/ModuleConfig.h"

namespace qmt {

ModuleConfig Config;

void ResetConfig(ModuleConfig& config) {
    for (PidBlock& block : config.pid) {
        block.w = {0, 0, 0, 100, 65535, 0, 2, 20000, static_cast<uint16_t>(-20000), 0, 0, 0, 0, 0};
    }
    config.SwOut = 0;
    const uint16_t mode = config.io[io::ModuleMode];
    config.io = {40,  40,    40,    40, 0,   2,   2,     2,     2, 100,
                 200, 60000, 20000, 0,  100, 200, 60000, 20000, 0, 0};
    config.io[io::ModuleMode] = mode;
}

} // namespace qmt
