/* Time limits and monotonic deadlines shared by the serial and the network
 * port: the same defaults and the same rounding on either line. */
#ifndef VL_DEADLINE_H
#define VL_DEADLINE_H

#include <errno.h>
#include <poll.h>
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

/* Waits for the events on fd until the deadline, through any signal that
 * interrupts the wait: 1 ready, 0 the deadline passed, -1 error or hang-up. */
static inline int vl_wait_ready(int fd, short events, int64_t deadline_ns) {
    for (;;) {
        int wait = ms_until(deadline_ns);
        if (wait == 0) return 0;
        struct pollfd p = {fd, events, 0};
        int r = poll(&p, 1, wait);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return -1;
        if (r == 0) continue; /* poll's millisecond may end just short of the deadline */
        return (p.revents & events) ? 1 : -1;
    }
}

#endif
