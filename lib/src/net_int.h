/* The two halves of a network port: the connection (net.c) and the framings
 * read from it (netframe.c), kept apart so the framings can be driven by a
 * scripted byte stream. */
#ifndef VL_NET_INT_H
#define VL_NET_INT_H

#include <stddef.h>
#include <stdint.h>

/* A reply whose own length contradicts the one its framing declares. */
#define VL_RECV_MALFORMED (-2)

/* Connection side (net.c). Appends what arrives next to buf at *got, at most
 * room bytes: 1 with bytes, 0 at the deadline, -1 when the connection closed
 * or failed (it is dropped then). */
int vl_net_read_more(uint8_t* buf, size_t* got, size_t room, int64_t deadline_ns);
/* Closes the connection; the next request makes a new one. */
void vl_net_drop(void);

/* Framing side (netframe.c). The Modbus TCP form of an RTU frame (CRC
 * included): header with this id, unit id, PDU. 0 when the frame is too short. */
size_t vl_mbap_wrap(uint8_t* out, const uint8_t* frame, size_t len, uint16_t id);
/* Length of the RTU reply begun in f, CRC included, from its function code
 * and byte count: 0 while too little has come to tell, -1 for a function of
 * unknown length. */
int vl_rtu_reply_length(const uint8_t* f, size_t got);
/* One reply as an RTU frame, in the Modbus TCP framing (mbap, answering the
 * request with this id) or as RTU frames. Returns its bytes, 0 when nothing
 * usable came by the deadline, -1 when the connection failed, or
 * VL_RECV_MALFORMED. Drops the connection whenever what is left in it could
 * be taken for the next reply. */
int vl_net_recv_frame(int mbap, uint16_t id, uint8_t* buf, size_t max, int64_t deadline_ns);

#endif
