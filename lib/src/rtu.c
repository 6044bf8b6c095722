/* Modbus RTU request frames and the reply checks of each function code. */
#include <string.h>

#include "net_int.h"
#include "vornlink_int.h"

uint16_t vl_crc16(const uint8_t* bytes, uint8_t length) {
    uint16_t crc = 0xFFFF;
    for (unsigned i = 0; i < length; i++) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; bit++)
            crc = (crc & 1) ? (uint16_t)((crc >> 1) ^ 0xA001) : (uint16_t)(crc >> 1);
    }
    return crc;
}

/* True when the two bytes at pos hold the CRC of the pos bytes before them.
 * The covered length is 8-bit, as in every frame of this protocol. A CRC the
 * reply did not reach is no CRC: past the rx bytes received the buffer still
 * holds the request, whose own CRC (or a byte that happens to fit) would
 * otherwise pass a cut reply, or make an exception code of a request byte. */
static int crc_at(const uint8_t* f, int rx, unsigned pos) {
    if ((long)pos + 2 > rx) return 0;
    uint16_t crc = vl_crc16(f, (uint8_t)pos);
    return f[pos] == (crc & 0xFF) && f[pos + 1] == (crc >> 8);
}

static size_t put_crc(uint8_t* f, size_t len) {
    uint16_t crc = vl_crc16(f, (uint8_t)len);
    f[len] = crc & 0xFF;
    f[len + 1] = crc >> 8;
    return len + 2;
}

static size_t put_head(uint8_t* f, uint8_t station, uint8_t function, uint16_t address,
                       uint16_t value) {
    f[0] = station;
    f[1] = function;
    f[2] = address >> 8;
    f[3] = address & 0xFF;
    f[4] = value >> 8;
    f[5] = value & 0xFF;
    return 6;
}

/* Sends the request built in f and reads the reply over it from byte 0, so
 * positions past the reply still hold request bytes or zero. */
static int exchange(uint8_t* f, size_t len) {
    if (vl_tracing) vl_trace_sent(f, len);
    vl_port_send(f, len);
    int rx = vl_port_recv(f, VL_FRAME_MAX);
    if (vl_tracing) vl_trace_received(f, rx);
    return rx;
}

/* An exception code of 0 would read as success with no data delivered.
 * 10 (path unavailable) and 11 (target device failed to respond) are a
 * gateway's word that the module behind it is silent: no answer. */
static int32_t exception_code(uint8_t code) {
    if (code == 10 || code == 11) return VL_E_NO_ANSWER;
    return code != 0 ? code : VL_E_BAD_EXCEPTION;
}

/* Why a read gave no reply to check: a frame whose own length contradicts
 * its header's is malformed; anything else is no answer. */
static int32_t no_reply(int rx) {
    return rx == VL_RECV_MALFORMED ? VL_E_RECEIVED : VL_E_NO_ANSWER;
}

/* Exception reply to functions 1, 3, 4, 5, 15: station, function | 0x80, code, CRC. */
static int32_t loose_exception(const uint8_t* f, int rx) {
    return crc_at(f, rx, 3) ? exception_code(f[2]) : VL_E_CRC;
}

static unsigned bit_bytes(uint16_t count) {
    return ((unsigned)count + 7) / 8;
}

/* Function 1: only station, CRC and (since a short or long reply is no
 * answer to what was asked) the byte count are checked. */
static int32_t read_coils(uint8_t station, uint16_t address, uint16_t count, uint8_t* out) {
    uint8_t f[VL_FRAME_SPACE] = {0};
    int rx = exchange(f, put_crc(f, put_head(f, station, 1, address, count)));
    if (rx <= 0) return no_reply(rx);
    if (f[0] != station) return VL_E_NO_ANSWER;
    if (f[1] & 0x80) return loose_exception(f, rx);
    unsigned n = f[2];
    if (!crc_at(f, rx, n + 3)) return VL_E_CRC;
    if (n != bit_bytes(count)) return VL_E_COUNT;
    memcpy(out, f + 3, n);
    return VL_OK;
}

static int32_t read_inputs(uint8_t station, uint16_t address, uint16_t count, uint8_t* out) {
    uint8_t f[VL_FRAME_SPACE] = {0};
    int rx = exchange(f, put_crc(f, put_head(f, station, 2, address, count)));
    if (rx <= 0) return no_reply(rx);
    if (vl_crc16(f, (uint8_t)rx) != 0) return VL_E_CRC;
    if (f[0] != station) return VL_E_STATION;
    if ((f[1] & 0x7F) != 2) return VL_E_REPLY_FN;
    if (f[1] & 0x80) return exception_code(f[2]);
    unsigned n = f[2];
    if (n != bit_bytes(count)) return VL_E_COUNT;
    if ((int)n != rx - 5) return VL_E_RECEIVED;
    memcpy(out, f + 3, n);
    return VL_OK;
}

static int32_t read_registers(uint8_t station, uint8_t function, uint16_t address, uint16_t count,
                              uint8_t* out) {
    uint8_t f[VL_FRAME_SPACE] = {0};
    int rx = exchange(f, put_crc(f, put_head(f, station, function, address, count)));
    if (rx <= 0) return no_reply(rx);
    if (f[0] != station) return VL_E_NO_ANSWER;
    if (f[1] & 0x80) return loose_exception(f, rx);
    unsigned n = f[2];
    if (!crc_at(f, rx, n + 3)) return VL_E_CRC;
    if (n != 2u * count) return VL_E_COUNT;
    for (unsigned i = 0; i < n; i += 2) {
        uint16_t word = (uint16_t)(f[3 + i] << 8 | f[4 + i]);
        memcpy(out + i, &word, sizeof word); /* the caller's buffer may be unaligned */
    }
    return VL_OK;
}

/* Functions 5 and 15: a normal reply is accepted on station and CRC alone. */
static int32_t coil_write_reply(uint8_t* f, size_t len, uint8_t station) {
    int rx = exchange(f, len);
    if (rx <= 0) return no_reply(rx);
    if (f[0] != station) return VL_E_NO_ANSWER;
    if (f[1] & 0x80) return loose_exception(f, rx);
    return crc_at(f, rx, 6) ? VL_OK : VL_E_CRC;
}

static int32_t write_coil(uint8_t station, uint16_t address, const uint8_t* in) {
    uint8_t f[VL_FRAME_SPACE] = {0};
    size_t len = put_crc(f, put_head(f, station, 5, address, (in[0] & 1) ? 0xFF00 : 0x0000));
    return coil_write_reply(f, len, station);
}

static int32_t write_coils(uint8_t station, uint16_t address, uint16_t count, const uint8_t* in) {
    unsigned bytes = bit_bytes(count);
    if (9 + bytes > VL_FRAME_MAX) return VL_E_BUFFER; /* the data cannot fit one frame */
    uint8_t f[VL_FRAME_SPACE] = {0};
    size_t len = put_head(f, station, 15, address, count);
    f[len++] = (uint8_t)bytes;
    memcpy(f + len, in, bytes);
    len = put_crc(f, len + bytes);
    return coil_write_reply(f, len, station);
}

/* Functions 6 and 16: the reply must be a whole 8-byte echo or a 5-byte
 * exception to the same function; echo is the value (6) or the count (16). */
static int32_t register_write_reply(uint8_t* f, size_t len, uint8_t station, uint8_t function,
                                    uint16_t address, uint16_t echo) {
    int rx = exchange(f, len);
    if (rx <= 0) return no_reply(rx);
    if (rx != 8 && rx != 5) return VL_E_LENGTH;
    if (vl_crc16(f, (uint8_t)rx) != 0) return VL_E_CRC;
    if (rx == 5)
        return (f[1] & 0x80) && (f[1] & 0x7F) == function ? exception_code(f[2])
                                                          : VL_E_BAD_EXCEPTION;
    if (f[0] != station) return VL_E_STATION;
    if (f[1] != function) return VL_E_REPLY_FN;
    if (f[2] != address >> 8 || f[3] != (address & 0xFF)) return VL_E_ADDRESS;
    if (f[4] != echo >> 8 || f[5] != (echo & 0xFF)) return VL_E_COUNT;
    return VL_OK;
}

static int32_t write_register(uint8_t station, uint16_t address, const uint8_t* in) {
    uint16_t value;
    memcpy(&value, in, sizeof value);
    uint8_t f[VL_FRAME_SPACE] = {0};
    size_t len = put_crc(f, put_head(f, station, 6, address, value));
    return register_write_reply(f, len, station, 6, address, value);
}

static int32_t write_registers(uint8_t station, uint16_t address, uint16_t count,
                               const uint8_t* in) {
    if (9 + 2u * count > VL_FRAME_MAX) return VL_E_BUFFER; /* the data cannot fit one frame */
    uint8_t f[VL_FRAME_SPACE] = {0};
    size_t len = put_head(f, station, 16, address, count);
    f[len++] = (uint8_t)(2 * count);
    for (unsigned k = 0; k < count; k++) {
        uint16_t word;
        memcpy(&word, in + 2 * k, sizeof word);
        f[len++] = word >> 8;
        f[len++] = word & 0xFF;
    }
    len = put_crc(f, len);
    return register_write_reply(f, len, station, 16, address, count);
}

int32_t vl_transact(uint8_t station, uint8_t function, uint16_t address, uint16_t count,
                    void* data) {
    uint8_t* buf = data;
    switch (function) {
    case 1:
        return read_coils(station, address, count, buf);
    case 2:
        return read_inputs(station, address, count, buf);
    case 3:
    case 4:
        return read_registers(station, function, address, count, buf);
    case 5:
        return write_coil(station, address, buf);
    case 6:
        return write_register(station, address, buf);
    case 15:
        return write_coils(station, address, count, buf);
    case 16:
        return write_registers(station, address, count, buf);
    default:
        return VL_E_FUNCTION; /* nothing is sent */
    }
}
