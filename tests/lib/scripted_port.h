// The library's port layer replaced for the tests that run its protocol code
// alone: nothing is opened or timed, and every frame sent is kept. Each such
// test defines vl_port_recv, the replies it scripts. Include it once a binary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" {
#include "vornlink_int.h"
}

namespace vltest {

using Bytes = std::vector<uint8_t>;

inline std::vector<Bytes> sent; // every frame, in order

// The statuses of the library's own making; any other is a module's exception code.
inline bool libraryCode(int32_t s) {
    return s == 0 || (s >= 14 && s <= 23) || s == 25;
}

} // namespace vltest

extern "C" {
int32_t vl_port_configure(const char*, uint32_t, uint8_t) {
    return 0;
}
void vl_port_close(void) {}
int vl_port_is_open(void) {
    return 1;
}
void vl_port_set_read_timeout(uint32_t) {}
uint32_t vl_port_pause_us(void) {
    return 0;
}
int vl_port_is_network(void) {
    return 0;
}
void vl_port_send(const uint8_t* frame, size_t len) {
    vltest::sent.emplace_back(frame, frame + len);
}
}
