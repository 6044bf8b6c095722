/*
 * vornlink: Modbus RTU master on one serial port, or on one TCP connection to
 * an Ethernet gateway.
 *
 * The library keeps one process-wide port; calls must come from one thread
 * at a time. Every entry point reports through its return value and never
 * prints or aborts.
 */
#ifndef VORNLINK_H
#define VORNLINK_H

#include <stdint.h>

#if defined(VORNLINK_BUILD)
#define VORNLINK_API __attribute__((visibility("default")))
#else
#define VORNLINK_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Status codes. 1 to 255 may also be the exception code of a module's reply,
 * except 10 and 11: a gateway sends those when the module behind it is
 * silent, so they are reported as VL_E_NO_ANSWER. */
enum {
    VL_OK = 0,
    VL_E_OPEN = 11,         /* the port failed to open */
    VL_E_LINE = 12,         /* the line settings were rejected */
    VL_E_TIMEOUTS = 13,     /* the time-out reads could not be set up */
    VL_E_NO_ANSWER = 14,    /* nothing (usable) came back, or no port */
    VL_E_FUNCTION = 15,     /* function code not supported */
    VL_E_BUFFER = 16,       /* data buffer missing, or the data does not fit a frame */
    VL_E_CRC = 17,          /* CRC error in the reply */
    VL_E_LENGTH = 18,       /* reply length neither 8 nor 5 bytes (functions 6, 16) */
    VL_E_STATION = 19,      /* reply from another station (functions 2, 6, 16) */
    VL_E_REPLY_FN = 20,     /* reply carries another function code (functions 2, 6, 16) */
    VL_E_RECEIVED = 21,     /* byte count does not match the bytes received (function 2),
                               or a Modbus TCP length field disagrees with its PDU */
    VL_E_ADDRESS = 22,      /* echoed start address differs (functions 6, 16) */
    VL_E_COUNT = 23,        /* byte count, echoed quantity or echoed value differs */
    VL_E_BAD_EXCEPTION = 25 /* 5-byte reply that is no exception to the function sent */
};

/* Network port names: "tcp://HOST:PORT" (Modbus TCP) and "rtu+tcp://HOST:PORT"
 * (RTU frames over TCP). Anything else is a device path. */
#define VL_TCP_PREFIX "tcp://"
#define VL_RTU_TCP_PREFIX "rtu+tcp://"

/* The search's scan order: each baud rate of VL_SEARCH_RATES, fastest first,
 * with parity 0, 1 and 2; combination i is rate i / 3 with parity i % 3.
 * An initialiser list, so that a caller keeps its own table of it. */
#define VL_SEARCH_RATES 115200, 57600, 38400, 28800, 19200, 9600, 4800, 2400
#define VL_SEARCH_PARITIES 3
#define VL_SEARCH_COMBINATIONS 24

/* Opens and configures the port (a device path such as /dev/ttyUSB0).
 * parity: 0 none (2 stop bits), 1 odd, 2 even. Returns 0, 11, 12 or 13.
 *
 * A network port is "rtu+tcp://HOST:PORT" (RTU frames with CRC over TCP) or
 * "tcp://HOST:PORT" (Modbus TCP, unit id = station); HOST is a name, an IPv4
 * address or an IPv6 address in brackets. Baud rate and parity are ignored
 * there. The bounds kept on a network port, T being the reply time-out:
 * - HOST is resolved here, once; that takes as long as the system's resolver
 *   takes (its own time-outs), never again at a reconnect.
 * - Connecting takes at most T; failing here is 11.
 * - A request and its reply share one T, whatever the peer does (one that
 *   stops reading included), so a call returns within T, or 2 T when it first
 *   makes a dropped connection again (once, at the next request).
 * - The connection is dropped, so that nothing late can pass for the next
 *   reply, after a time-out on rtu+tcp://, after a time-out with part of a
 *   frame read on tcp://, and after a request sent only in part.
 * On 11 errno holds the cause: that of open() (ENOENT, EACCES ...), ENOTTY
 * for a file that is no terminal, EBUSY for a port another process holds,
 * EINVAL for a missing name or a network name that is not HOST:PORT, ENXIO
 * for a host name that does not resolve, or that of the connection
 * (ECONNREFUSED, ENETUNREACH ..., ETIMEDOUT when the time-out passed). */
VORNLINK_API int32_t init_comm(const char* port, uint32_t baud, uint8_t parity);

/* One request/response transaction with function 1, 2, 3, 4, 5, 6, 15 or 16.
 * data: packed bits (1, 2, 5, 15) or host-order 16-bit words (3, 4, 6, 16). */
VORNLINK_API int32_t invoke_modb(uint8_t station, uint8_t function, uint16_t address,
                                 uint16_t count, void* data);

/* Sends length raw bytes (CRC included by the caller) and reads one reply into
 * response (at least 256 bytes). Returns the bytes received (0 when nothing
 * came), or -1 when response is null. A request that cannot be sent (null, or
 * a negative length) is not an error: the read still runs. Over Modbus TCP the
 * frame travels without its CRC behind an MBAP header, and the reply comes
 * back as an RTU frame with a CRC made for it. */
VORNLINK_API int32_t Send_And_Receive(int32_t length, const void* request, void* response);

/* Searches 24 combinations of baud rate and parity for the module with this
 * version code, serial code and address. On 0 the outputs hold what was found;
 * the port is left open with the found or the last tried setting. A network
 * port has no line settings to search: 14 at once, the port left as it was. */
VORNLINK_API int32_t EnumParameters(const char* port, uint16_t version, uint16_t serial,
                                    uint8_t address, uint32_t* baud, uint8_t* parity);

/* One step of that search: the probe at combination 0..23 of the same scan
 * order (VL_SEARCH_RATES), so a caller can say which one it is trying. Returns 0
 * with the outputs written, 14 when nothing answered there (and for an index
 * past 23), 17 or 11 to 13 as EnumParameters does at that combination. */
VORNLINK_API int32_t EnumParametersAt(const char* port, uint16_t version, uint16_t serial,
                                      uint8_t address, uint8_t combination, uint32_t* baud,
                                      uint8_t* parity);

/* Sets the total reply time-out in milliseconds (at least 5) for the open port
 * and every later one. Non-zero when a port is open. */
VORNLINK_API int32_t SetTout(uint32_t ms);

/* Watching the traffic of invoke_modb. After each transaction that sent a
 * frame, the hook is called twice in the calling thread: first with the
 * request (direction 0), then with the reply (direction 1; length 0 when
 * nothing came). time_ns is CLOCK_MONOTONIC: when the request began to go out,
 * when the reply's read ended. status is the transaction's result, the same
 * for both. The bytes belong to the library and last only for the call. */
enum { VL_TRACE_REQUEST = 0, VL_TRACE_REPLY = 1 };
typedef void (*vl_trace_hook)(void* context, int32_t direction, const uint8_t* bytes,
                              int32_t length, uint64_t time_ns, int32_t status);

/* Registers the hook with its context, or clears it (null). Without a hook a
 * transaction costs nothing more. */
VORNLINK_API void SetTraceHook(vl_trace_hook hook, void* context);

/* Entry-point types for binding with dlsym. */
typedef int32_t (*init_comm_fn)(const char*, uint32_t, uint8_t);
typedef int32_t (*invoke_modb_fn)(uint8_t, uint8_t, uint16_t, uint16_t, void*);
typedef int32_t (*Send_And_Receive_fn)(int32_t, const void*, void*);
typedef int32_t (*EnumParameters_fn)(const char*, uint16_t, uint16_t, uint8_t, uint32_t*, uint8_t*);
typedef int32_t (*EnumParametersAt_fn)(const char*, uint16_t, uint16_t, uint8_t, uint8_t, uint32_t*,
                                       uint8_t*);
typedef int32_t (*SetTout_fn)(uint32_t);
typedef void (*SetTraceHook_fn)(vl_trace_hook, void*);

#ifdef __cplusplus
}
#endif

#endif /* VORNLINK_H */
