/* Internal interfaces of the library: port layer, line settings, RTU framing. */
#ifndef VORNLINK_INT_H
#define VORNLINK_INT_H

#include <stddef.h>
#include <stdint.h>

#include "vornlink.h"

/* Requests are built in, and replies read into, one frame of this size. */
#define VL_FRAME_MAX 256
/* Reply checks may look at the two CRC bytes after a 255-byte run, so the
 * frame buffer is padded to keep those reads inside it. */
#define VL_FRAME_SPACE (VL_FRAME_MAX + 4)

/* Port layer (port.c): the one seam between the protocol and the device. */
int32_t vl_port_configure(const char* path, uint32_t baud, uint8_t parity);
void vl_port_close(void);
int vl_port_is_open(void);
void vl_port_set_read_timeout(uint32_t ms);
uint32_t vl_port_pause_us(void);
/* Discards stale input, writes the frame and waits until it left; failures
 * only show as a missing reply. */
void vl_port_send(const uint8_t* frame, size_t len);
/* One reply: ends at 55 ms of silence, at max bytes or at the read time-out.
 * Returns the bytes received, or -1 when the read failed. */
int vl_port_recv(uint8_t* buf, size_t max);

/* Line settings (line.c, kept apart because it needs the kernel's termios2). */
int vl_line_apply(int fd, uint32_t baud, uint8_t parity);

/* RTU framing (rtu.c). */
uint16_t vl_crc16(const uint8_t* bytes, uint8_t length);
int32_t vl_transact(uint8_t station, uint8_t function, uint16_t address, uint16_t count,
                    void* data);

#endif
