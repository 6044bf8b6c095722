/* Network ports: a TCP connection to an Ethernet gateway that carries either
 * RTU frames as they are ("rtu+tcp://") or Modbus TCP ("tcp://": an MBAP
 * header before the PDU, no CRC). No silence marks the end of a reply here:
 * it ends when its frame is complete, else at the read time-out. */
#define _GNU_SOURCE
#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include "deadline.h"
#include "vornlink_int.h"

/* Transaction id, protocol id and length; the unit id follows. */
#define MBAP_PREFIX 6
/* Unit id and a PDU of 253 bytes: with a CRC in place of the header, 256. */
#define MBAP_LENGTH_MAX 254

static int sock = -1;
static int held; /* an address is configured, even while its connection is down */
static int mbap;
static char host[256];
static char service[6];
static uint32_t read_timeout_ms = VL_DEFAULT_READ_TIMEOUT_MS;
static uint16_t transaction; /* id of the last request sent */

static int64_t read_deadline(void) {
    return now_ns() + (int64_t)read_timeout_ms * 1000000;
}

/* Splits "PREFIX HOST:PORT" into host and service; IPv6 addresses come in
 * brackets, since their colons would hide the port's. */
static int parse(const char* name) {
    const char* rest;
    if (strncmp(name, VL_TCP_PREFIX, sizeof VL_TCP_PREFIX - 1) == 0) {
        mbap = 1;
        rest = name + sizeof VL_TCP_PREFIX - 1;
    } else {
        mbap = 0;
        rest = name + sizeof VL_RTU_TCP_PREFIX - 1;
    }
    const char *start = rest, *colon;
    if (*rest == '[') {
        const char* end = strchr(rest, ']');
        if (end == NULL || end[1] != ':') return -1;
        start = rest + 1;
        colon = end + 1;
        if (memchr(start, ':', (size_t)(end - start)) == NULL) return -1;
    } else {
        colon = strchr(rest, ':');
        if (colon == NULL || strchr(colon + 1, ':') != NULL) return -1;
    }
    size_t length = (size_t)((*rest == '[' ? colon - 1 : colon) - start);
    if (length == 0 || length >= sizeof host) return -1;

    const char* digits = colon + 1;
    size_t count = strlen(digits);
    if (count == 0 || count >= sizeof service) return -1;
    unsigned long port = 0;
    for (size_t i = 0; i < count; i++) {
        if (digits[i] < '0' || digits[i] > '9') return -1;
        port = port * 10 + (unsigned long)(digits[i] - '0');
    }
    if (port == 0 || port > 65535) return -1;

    memcpy(host, start, length);
    host[length] = 0;
    memcpy(service, digits, count + 1);
    return 0;
}

/* The second half of a non-blocking connect: waits for it until the deadline.
 * On failure errno holds the cause, ETIMEDOUT when the deadline passed. */
static int finish_connect(int s, int64_t deadline) {
    if (errno != EINPROGRESS) return -1;
    for (;;) {
        int wait = ms_until(deadline);
        if (wait == 0) break;
        struct pollfd p = {s, POLLOUT, 0};
        int r = poll(&p, 1, wait);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return -1;
        if (r == 0) break;
        int err = 0;
        socklen_t size = sizeof err;
        if (getsockopt(s, SOL_SOCKET, SO_ERROR, &err, &size) != 0) return -1;
        if (err != 0) {
            errno = err;
            return -1;
        }
        return 0;
    }
    errno = ETIMEDOUT;
    return -1;
}

/* Tries each address of the host in turn, all within one time-out. On
 * failure errno holds the cause of the last attempt; a host name that does
 * not resolve is ENXIO (no such address). */
static int connect_host(void) {
    int64_t deadline = read_deadline();
    struct addrinfo hints = {0};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    struct addrinfo* list = NULL;
    if (getaddrinfo(host, service, &hints, &list) != 0) {
        errno = ENXIO;
        return -1;
    }

    int fd = -1, cause = ENXIO;
    for (struct addrinfo* a = list; a != NULL && fd < 0; a = a->ai_next) {
        int s = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (s < 0) {
            cause = errno;
            continue;
        }
        int one = 1; /* a request is one small segment: send it now */
        (void)setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (connect(s, a->ai_addr, a->ai_addrlen) == 0 || finish_connect(s, deadline) == 0) {
            fd = s;
        } else {
            cause = errno;
            close(s);
        }
    }
    freeaddrinfo(list);
    if (fd < 0) errno = cause;
    return fd;
}

/* The connection is gone; the address stays for the next request. */
static void drop(void) {
    if (sock >= 0) close(sock);
    sock = -1;
}

static void net_close(void) {
    drop();
    held = 0;
}

static int32_t net_open(const char* name, uint32_t baud, uint8_t parity) {
    (void)baud; /* the gateway sets its line itself */
    (void)parity;
    net_close();
    if (name == NULL || parse(name) != 0) {
        errno = EINVAL; /* not HOST:PORT */
        return VL_E_OPEN;
    }
    sock = connect_host();
    if (sock < 0) return VL_E_OPEN; /* errno says why */
    held = 1;
    return VL_OK;
}

static int net_is_open(void) {
    return held;
}

static void net_set_read_timeout(uint32_t ms) {
    read_timeout_ms = ms;
}

static uint32_t net_pause_us(void) {
    return 0; /* no line silence to keep: the gateway paces its own line */
}

/* Throws away whatever waits (the rest of a cut reply, a late one). Non-zero
 * when the peer has closed the connection or it failed. */
static int flush_input(void) {
    uint8_t junk[256];
    for (;;) {
        ssize_t n = recv(sock, junk, sizeof junk, MSG_DONTWAIT);
        if (n > 0 || (n < 0 && errno == EINTR)) continue;
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) ? 0 : -1;
    }
}

static int write_all(const uint8_t* bytes, size_t len) {
    int64_t deadline =
        now_ns() + ((int64_t)VL_WRITE_BASE_MS + (int64_t)VL_WRITE_PER_BYTE_MS * len) * 1000000;
    size_t done = 0;
    while (done < len) {
        ssize_t n = send(sock, bytes + done, len - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += (size_t)n;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            struct pollfd p = {sock, POLLOUT, 0};
            int wait = ms_until(deadline);
            if (wait > 0 && poll(&p, 1, wait) > 0 && (p.revents & POLLOUT)) continue;
        }
        return -1;
    }
    return 0;
}

/* Modbus TCP in place of the RTU frame: the header, the unit id (the
 * station), the PDU; the CRC stays behind. 0 when the frame is too short. */
static size_t wrap_mbap(uint8_t* out, const uint8_t* frame, size_t len) {
    if (len < 4) return 0;
    size_t length = len - 2; /* unit id and PDU */
    transaction++;
    out[0] = transaction >> 8;
    out[1] = transaction & 0xFF;
    out[2] = 0;
    out[3] = 0;
    out[4] = (uint8_t)(length >> 8);
    out[5] = length & 0xFF;
    memcpy(out + MBAP_PREFIX, frame, length);
    return MBAP_PREFIX + length;
}

static void net_send(const uint8_t* frame, size_t len) {
    if (!held) return;
    /* A connection that dropped since the last request gets one new attempt. */
    if (sock >= 0 && flush_input() != 0) drop();
    if (sock < 0 && (sock = connect_host()) < 0) return;
    if (frame == NULL || len == 0) return;

    uint8_t out[MBAP_PREFIX + VL_FRAME_MAX];
    const uint8_t* bytes = frame;
    if (mbap) { /* an MBAP length field counts no more than one frame */
        len = wrap_mbap(out, frame, len > VL_FRAME_MAX ? VL_FRAME_MAX : len);
        bytes = out;
    }
    if (len > 0 && write_all(bytes, len) != 0) drop();
}

/* Appends what arrives next: 1 with bytes, 0 at the deadline, -1 when the
 * connection closed or failed (it is dropped then). */
static int read_more(uint8_t* buf, size_t* got, size_t room, int64_t deadline) {
    for (;;) {
        int wait = ms_until(deadline);
        if (wait == 0) return 0;
        struct pollfd p = {sock, POLLIN, 0};
        int r = poll(&p, 1, wait);
        if (r < 0 && errno != EINTR) break;
        if (r <= 0) continue;
        ssize_t n = recv(sock, buf + *got, room, MSG_DONTWAIT);
        if (n > 0) {
            *got += (size_t)n;
            return 1;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
        break;
    }
    drop();
    return -1;
}

/* Length of the RTU reply begun in f, from its function code and byte
 * count: 0 while too little has come to tell, -1 for a function of unknown
 * length (that reply then ends at the time-out). */
static int rtu_length(const uint8_t* f, size_t got) {
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
        int need = rtu_length(buf, got);
        if (need > 0 && got >= (size_t)need) return need < (int)max ? need : (int)max;
        if (got >= max) return (int)got;
        int r = read_more(buf, &got, max - got, deadline);
        if (r <= 0) return r < 0 ? -1 : (int)got;
    }
}

/* Reads Modbus TCP frames until the one that answers this request arrives and
 * hands it up as an RTU frame: unit id, PDU and a CRC made here, since TCP
 * already checked the bytes. Nothing usable (a cut frame, answers to earlier
 * requests only) is 0 bytes. */
static int recv_mbap(uint8_t* buf, size_t max, int64_t deadline) {
    uint8_t in[2 * (MBAP_PREFIX + MBAP_LENGTH_MAX)];
    size_t got = 0;
    for (;;) {
        if (got >= MBAP_PREFIX) {
            unsigned length = (unsigned)in[4] << 8 | in[5];
            if (length < 2 || length > MBAP_LENGTH_MAX) {
                drop(); /* the stream lost its framing; a new connection finds it again */
                return -1;
            }
            size_t whole = MBAP_PREFIX + length;
            if (got >= whole) {
                uint16_t id = (uint16_t)(in[0] << 8 | in[1]);
                if (id == transaction && in[2] == 0 && in[3] == 0) {
                    if (length + 2 > max) length = (unsigned)max - 2;
                    memcpy(buf, in + MBAP_PREFIX, length);
                    uint16_t crc = vl_crc16(buf, (uint8_t)length);
                    buf[length] = crc & 0xFF;
                    buf[length + 1] = crc >> 8;
                    return (int)length + 2;
                }
                /* A late answer to an earlier request is no answer to this one. */
                memmove(in, in + whole, got - whole);
                got -= whole;
                continue;
            }
        }
        int r = read_more(in, &got, sizeof in - got, deadline);
        if (r <= 0) return r < 0 ? -1 : 0;
    }
}

static int net_recv(uint8_t* buf, size_t max) {
    if (sock < 0 || buf == NULL || max < 2) return -1;
    int64_t deadline = read_deadline();
    return mbap ? recv_mbap(buf, max, deadline) : recv_rtu(buf, max, deadline);
}

const struct vl_transport vl_net_transport = {
    net_open, net_close, net_is_open, net_set_read_timeout, net_pause_us, net_send, net_recv,
};
