/* Exported entry points: argument checks, priority around each exchange and
 * the pause that keeps the line quiet after a transaction. */
#define _GNU_SOURCE
#include <sched.h>
#include <sys/resource.h>
#include <time.h>

#include "vornlink_int.h"

/* The reply window is timed in milliseconds; running at the highest granted
 * priority keeps other work from stretching it. */
static void raise_priority(void) {
    struct sched_param sp = {0};
    sp.sched_priority = sched_get_priority_max(SCHED_FIFO);
    if (sched_setscheduler(0, SCHED_FIFO, &sp) == 0) return;

    struct rlimit rl;
    if (getrlimit(RLIMIT_RTPRIO, &rl) == 0 && rl.rlim_cur > 0) {
        if (rl.rlim_cur < (rlim_t)sp.sched_priority) sp.sched_priority = (int)rl.rlim_cur;
        if (sched_setscheduler(0, SCHED_FIFO, &sp) == 0) return;
    }

    /* No real-time class: take the lowest nice value the limits allow. */
    int lowest = 0;
    if (getrlimit(RLIMIT_NICE, &rl) == 0) {
        if (rl.rlim_cur == RLIM_INFINITY || rl.rlim_cur >= 40)
            lowest = -20;
        else if (rl.rlim_cur > 20)
            lowest = 20 - (int)rl.rlim_cur;
    }
    if (setpriority(PRIO_PROCESS, 0, lowest) != 0 && lowest != 0)
        (void)setpriority(PRIO_PROCESS, 0, 0);
}

static void normal_priority(void) {
    struct sched_param sp = {0};
    (void)sched_setscheduler(0, SCHED_OTHER, &sp);
    (void)setpriority(PRIO_PROCESS, 0, 0);
}

/* 62 bit times of silence before the next request, spent spinning: a sleep
 * could overshoot by far more than the pause at high rates. */
static void pause_after_transaction(void) {
    uint32_t us = vl_port_pause_us();
    if (us == 0) return;
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    int64_t end = (int64_t)ts.tv_sec * 1000000000 + ts.tv_nsec + (int64_t)us * 1000;
    do
        clock_gettime(CLOCK_MONOTONIC, &ts);
    while ((int64_t)ts.tv_sec * 1000000000 + ts.tv_nsec < end);
}

/* The frames of the transaction under way, kept only while a hook is set. */
int vl_tracing = 0;
static vl_trace_hook trace_hook;
static void* trace_context;
static struct {
    uint8_t bytes[VL_FRAME_MAX];
    int32_t length;
    uint64_t time_ns;
} trace_frames[2];
static int trace_pending;

static uint64_t monotonic_ns(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (uint64_t)ts.tv_sec * 1000000000u + (uint64_t)ts.tv_nsec;
}

static void trace_keep(int direction, const uint8_t* frame, size_t len) {
    if (len > VL_FRAME_MAX) len = VL_FRAME_MAX;
    trace_frames[direction].time_ns = monotonic_ns();
    trace_frames[direction].length = (int32_t)len;
    memcpy(trace_frames[direction].bytes, frame, len);
}

void vl_trace_sent(const uint8_t* frame, size_t len) {
    trace_keep(VL_TRACE_REQUEST, frame, len);
    trace_frames[VL_TRACE_REPLY].length = 0;
    trace_pending = 1;
}

void vl_trace_received(const uint8_t* frame, int rx) {
    trace_keep(VL_TRACE_REPLY, frame, rx > 0 ? (size_t)rx : 0);
}

/* Delivered once the status is known, request first. */
static void trace_deliver(int32_t status) {
    if (!trace_pending) return;
    trace_pending = 0;
    vl_trace_hook hook = trace_hook;
    for (int d = VL_TRACE_REQUEST; d <= VL_TRACE_REPLY && hook; d++)
        hook(trace_context, d, trace_frames[d].bytes, trace_frames[d].length,
             trace_frames[d].time_ns, status);
}

VORNLINK_API void SetTraceHook(vl_trace_hook hook, void* context) {
    trace_hook = hook;
    trace_context = hook ? context : NULL;
    trace_pending = 0;
    vl_tracing = hook != NULL;
}

VORNLINK_API int32_t init_comm(const char* port, uint32_t baud, uint8_t parity) {
    return vl_port_configure(port, baud, parity);
}

/* The raised priority protects the serial line's timing (the silence that
 * ends a reply, the pause after it). Behind a gateway the gateway times the
 * line, so a network exchange runs at normal priority: two scheduler calls
 * a request would cost more than the exchange itself on loopback. */
static int line_timed_here(void) {
    return !vl_port_is_network();
}

VORNLINK_API int32_t invoke_modb(uint8_t station, uint8_t function, uint16_t address,
                                 uint16_t count, void* data) {
    if (data == NULL) return VL_E_BUFFER;
    const int timed = line_timed_here();
    if (timed) raise_priority();
    int32_t status = vl_transact(station, function, address, count, data);
    if (timed) normal_priority();
    /* Before the pause, so the reply's time stays the time it came. */
    if (vl_tracing) trace_deliver(status);
    pause_after_transaction();
    return status;
}

VORNLINK_API int32_t Send_And_Receive(int32_t length, const void* request, void* response) {
    if (response == NULL) return -1;
    /* A negative length or a missing request cannot be sent; that fails like
     * any write, showing only as a missing reply, and the read still runs. */
    size_t send = length > 0 && request != NULL ? (size_t)length : 0;
    const int timed = line_timed_here();
    if (timed) raise_priority();
    vl_port_send(request, send);
    int received = vl_port_recv(response, VL_FRAME_MAX);
    if (timed) normal_priority();
    return received > 0 ? received : 0;
}

VORNLINK_API int32_t SetTout(uint32_t ms) {
    if (ms < 5) ms = 5;
    vl_port_set_read_timeout(ms);
    return vl_port_is_open() ? 1 : 0;
}

/* The port must not stay locked after the library is unloaded. */
__attribute__((destructor)) static void vornlink_unload(void) {
    vl_port_close();
}
