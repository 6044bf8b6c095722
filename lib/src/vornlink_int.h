/* Internal interfaces of the library: port layer, line settings, RTU framing. */
#ifndef VORNLINK_INT_H
#define VORNLINK_INT_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "vornlink.h"

/* Requests are built in, and replies read into, one frame of this size. */
#define VL_FRAME_MAX 256
/* Reply checks may look at the two CRC bytes after a 255-byte run, so the
 * frame buffer is padded to keep those reads inside it. */
#define VL_FRAME_SPACE (VL_FRAME_MAX + 4)

/* One way to reach the module: the serial line (port.c) or a TCP connection
 * to an Ethernet gateway (net.c). The frame code above sees only RTU frames;
 * a transport that speaks another framing converts at its edge. */
struct vl_transport {
    /* Opens the named port, closing nothing else. Returns 0, 11, 12 or 13. */
    int32_t (*open)(const char* name, uint32_t baud, uint8_t parity);
    void (*close)(void);
    int (*is_open)(void);
    void (*set_read_timeout)(uint32_t ms);
    /* The quiet time kept after each transaction, in microseconds. */
    uint32_t (*pause_us)(void);
    /* Discards stale input, then sends one RTU frame (CRC included). */
    void (*send)(const uint8_t* frame, size_t len);
    /* One reply as an RTU frame: until it is complete or the time-out.
     * Returns the bytes received, or -1 when the read failed. */
    int (*recv)(uint8_t* buf, size_t max);
};

extern const struct vl_transport vl_serial_transport;
extern const struct vl_transport vl_net_transport;

/* VL_TCP_PREFIX or VL_RTU_TCP_PREFIX (vornlink.h). */
static inline int vl_is_network_name(const char* name) {
    return name != NULL && (strncmp(name, VL_TCP_PREFIX, sizeof VL_TCP_PREFIX - 1) == 0 ||
                            strncmp(name, VL_RTU_TCP_PREFIX, sizeof VL_RTU_TCP_PREFIX - 1) == 0);
}

/* Port layer (link.c): the one seam between the protocol and the transports;
 * it picks the transport by the port's name and forwards to it. */
int32_t vl_port_configure(const char* path, uint32_t baud, uint8_t parity);
void vl_port_close(void);
int vl_port_is_open(void);
void vl_port_set_read_timeout(uint32_t ms);
uint32_t vl_port_pause_us(void);
/* Nonzero while the open port is a gateway's (tcp:// or rtu+tcp://). */
int vl_port_is_network(void);
/* Discards stale input, writes the frame and waits until it left; failures
 * only show as a missing reply. */
void vl_port_send(const uint8_t* frame, size_t len);
/* One reply: on the serial line it ends at 55 ms of silence, at max bytes or
 * at the read time-out; over the network when the frame is complete or at the
 * read time-out. Returns the bytes received, or -1 when the read failed. */
int vl_port_recv(uint8_t* buf, size_t max);

/* Line settings (line.c, kept apart because it needs the kernel's termios2). */
int vl_line_apply(int fd, uint32_t baud, uint8_t parity);

/* Trace capture (vornlink.c): set while a hook is registered, so that the
 * exchange copies its frames only then. */
extern int vl_tracing;
void vl_trace_sent(const uint8_t* frame, size_t len);
void vl_trace_received(const uint8_t* frame, int rx);

/* RTU framing (rtu.c). */
uint16_t vl_crc16(const uint8_t* bytes, uint8_t length);
int32_t vl_transact(uint8_t station, uint8_t function, uint16_t address, uint16_t count,
                    void* data);

#endif
