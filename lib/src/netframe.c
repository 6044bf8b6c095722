/* The framings of a network port: Modbus TCP (an MBAP header before the PDU,
 * no CRC) and RTU frames as they are. No silence marks the end of a reply
 * here: it ends when its frame is complete, else at the deadline. */
#include <string.h>

#include "net_int.h"
#include "vornlink_int.h"

/* Transaction id, protocol id and length; the unit id follows. */
#define MBAP_PREFIX 6
/* Unit id and a PDU of 253 bytes: with a CRC in place of the header, 256. */
#define MBAP_LENGTH_MAX 254

size_t vl_mbap_wrap(uint8_t* out, const uint8_t* frame, size_t len, uint16_t id) {
    if (len < 4) return 0;
    size_t length = len - 2; /* unit id and PDU */
    out[0] = id >> 8;
    out[1] = id & 0xFF;
    out[2] = 0;
    out[3] = 0;
    out[4] = (uint8_t)(length >> 8);
    out[5] = length & 0xFF;
    memcpy(out + MBAP_PREFIX, frame, length);
    return MBAP_PREFIX + length;
}

int vl_rtu_reply_length(const uint8_t* f, size_t got) {
    if (got < 2) return 0;
    if (f[1] & 0x80) return 5;
    switch (f[1]) {
    case 1:
    case 2:
    case 3:
    case 4:
        return got < 3 ? 0 : 5 + f[2];
    case 5:
    case 6:
    case 15:
    case 16:
        return 8;
    default:
        return -1;
    }
}

static int recv_rtu(uint8_t* buf, size_t max, int64_t deadline) {
    size_t got = 0;
    for (;;) {
        int need = vl_rtu_reply_length(buf, got);
        /* Bytes past the reply (or a reply longer than max) would start the
         * next read in mid-frame. */
        if (need > 0 && got >= (size_t)need) {
            if (got > (size_t)need) vl_net_drop();
            return need;
        }
        if (got >= max) {
            vl_net_drop();
            return (int)got;
        }
        int r = vl_net_read_more(buf, &got, max - got, deadline);
        if (r < 0) return -1;
        if (r == 0) {
            /* RTU frames carry no transaction id: whatever of this reply is
             * still on its way would be read as the next one. A new
             * connection starts clean. */
            vl_net_drop();
            return need < 0 ? (int)got : 0; /* a cut frame is no answer */
        }
    }
}

/* True when in[0..got) is whole Modbus TCP frames, nothing cut. */
static int whole_frames(const uint8_t* in, size_t got) {
    size_t at = 0;
    while (at + MBAP_PREFIX <= got) {
        unsigned length = (unsigned)in[at + 4] << 8 | in[at + 5];
        if (length < 2 || length > MBAP_LENGTH_MAX) return 0;
        at += MBAP_PREFIX + length;
    }
    return at == got;
}

/* Looks at the Modbus TCP frames in in[0..*got): answers to earlier requests
 * are passed over, the answer to this one goes up as an RTU frame with a CRC
 * made here (TCP already checked the bytes). 0 while it is still to come. */
static int take_mbap(uint8_t* in, size_t* got, uint16_t id, uint8_t* buf, size_t max) {
    while (*got >= MBAP_PREFIX) {
        unsigned length = (unsigned)in[4] << 8 | in[5];
        int ours = (uint16_t)(in[0] << 8 | in[1]) == id && in[2] == 0 && in[3] == 0;
        if (length < 2 || length > MBAP_LENGTH_MAX) {
            vl_net_drop(); /* the stream lost its framing; a new connection finds it again */
            return ours ? VL_RECV_MALFORMED : -1;
        }
        size_t have = *got - MBAP_PREFIX < length ? *got - MBAP_PREFIX : length;
        if (ours) {
            /* The PDU's own length (function and byte count) must agree with
             * the header's; if not, where the next frame starts is unknown. */
            int own = vl_rtu_reply_length(in + MBAP_PREFIX, have);
            if ((own > 0 && (unsigned)own != length + 2) || (own == 0 && have == length)) {
                vl_net_drop();
                return VL_RECV_MALFORMED;
            }
        }
        size_t whole = MBAP_PREFIX + length;
        if (*got < whole) return 0;
        if (ours) {
            /* What came with it must end on a frame's end too. */
            if (!whole_frames(in + whole, *got - whole)) vl_net_drop();
            if (length + 2 > max) length = (unsigned)max - 2;
            memcpy(buf, in + MBAP_PREFIX, length);
            uint16_t crc = vl_crc16(buf, (uint8_t)length);
            buf[length] = crc & 0xFF;
            buf[length + 1] = crc >> 8;
            return (int)length + 2;
        }
        /* A late answer to an earlier request is no answer to this one. */
        memmove(in, in + whole, *got - whole);
        *got -= whole;
    }
    return 0;
}

static int recv_mbap(uint16_t id, uint8_t* buf, size_t max, int64_t deadline) {
    uint8_t in[2 * (MBAP_PREFIX + MBAP_LENGTH_MAX)];
    size_t got = 0;
    for (;;) {
        int taken = take_mbap(in, &got, id, buf, max);
        if (taken != 0) return taken;
        int r = vl_net_read_more(in, &got, sizeof in - got, deadline);
        if (r < 0) return -1;
        if (r == 0) {
            /* The rest of a cut frame would be read as the next header. */
            if (got > 0) vl_net_drop();
            return 0;
        }
    }
}

int vl_net_recv_frame(int mbap, uint16_t id, uint8_t* buf, size_t max, int64_t deadline_ns) {
    if (buf == NULL || max < 2) return -1;
    return mbap ? recv_mbap(id, buf, max, deadline_ns) : recv_rtu(buf, max, deadline_ns);
}
