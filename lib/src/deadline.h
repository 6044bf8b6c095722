/* Time limits and monotonic deadlines shared by the serial and the network
 * port: the same defaults and the same rounding on either line. */
#ifndef VL_DEADLINE_H
#define VL_DEADLINE_H

#include <stdint.h>
#include <time.h>

/* Writes give up after this, plus VL_WRITE_PER_BYTE_MS for every byte. */
#define VL_WRITE_BASE_MS 1000
#define VL_WRITE_PER_BYTE_MS 1000
#define VL_DEFAULT_READ_TIMEOUT_MS 400

static inline int64_t now_ns(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000000000 + ts.tv_nsec;
}

/* Milliseconds for poll(), rounded up so a wait never ends before its deadline. */
static inline int ms_until(int64_t deadline_ns) {
    int64_t left = deadline_ns - now_ns();
    if (left <= 0) return 0;
    return (int)((left + 999999) / 1000000);
}

#endif
