/* Network ports: a TCP connection to an Ethernet gateway that carries either
 * RTU frames as they are ("rtu+tcp://") or Modbus TCP ("tcp://"); the framings
 * themselves are read in netframe.c. A request and its reply share one
 * time-out, so a gateway that stops reading holds a call no longer than one
 * that stops answering. */
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
#include "net_int.h"
#include "vornlink_int.h"

/* The header before a frame of at most VL_FRAME_MAX bytes. */
#define MBAP_HEADER 6
/* Addresses of the host, resolved once when the port opens. */
#define MAX_ADDRESSES 8

struct address {
    struct sockaddr_storage addr;
    socklen_t size;
    int protocol;
};

static int sock = -1;
static int held; /* an address is configured, even while its connection is down */
static int mbap;
static char host[256];
static char service[6];
static struct address addresses[MAX_ADDRESSES];
static int address_count;
static uint32_t read_timeout_ms = VL_DEFAULT_READ_TIMEOUT_MS;
static uint16_t transaction;      /* id of the last request sent */
static int64_t exchange_deadline; /* set by a send for its reply; 0: none */

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
    const int ready = vl_wait_ready(s, POLLOUT, deadline);
    if (ready == 0) {
        errno = ETIMEDOUT;
        return -1;
    }
    /* Ready or hung up: the socket's own error tells which. */
    int err = 0;
    socklen_t size = sizeof err;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, &err, &size) != 0) return -1;
    if (err != 0) {
        errno = err;
        return -1;
    }
    return ready == 1 ? 0 : -1;
}

/* Resolving may take the resolver's own time-outs, so it happens once, when
 * the port opens: making a connection again then costs the connect alone.
 * A host name that does not resolve is ENXIO (no such address). */
static int resolve(void) {
    struct addrinfo hints = {0};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    struct addrinfo* list = NULL;
    address_count = 0;
    if (getaddrinfo(host, service, &hints, &list) != 0) {
        errno = ENXIO;
        return -1;
    }
    for (struct addrinfo* a = list; a != NULL && address_count < MAX_ADDRESSES; a = a->ai_next) {
        if (a->ai_addrlen > sizeof addresses[0].addr) continue;
        struct address* to = &addresses[address_count++];
        memcpy(&to->addr, a->ai_addr, a->ai_addrlen);
        to->size = a->ai_addrlen;
        to->protocol = a->ai_protocol;
    }
    freeaddrinfo(list);
    if (address_count > 0) return 0;
    errno = ENXIO;
    return -1;
}

/* Tries each address of the host in turn, all within one time-out. On
 * failure errno holds the cause of the last attempt. */
static int connect_host(void) {
    int64_t deadline = read_deadline();
    int cause = ENXIO;
    for (int i = 0; i < address_count; i++) {
        const struct address* a = &addresses[i];
        int s = socket(a->addr.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, a->protocol);
        if (s < 0) {
            cause = errno;
            continue;
        }
        int one = 1; /* a request is one small segment: send it now */
        (void)setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (connect(s, (const struct sockaddr*)&a->addr, a->size) == 0 ||
            finish_connect(s, deadline) == 0)
            return s;
        cause = errno;
        close(s);
    }
    errno = cause;
    return -1;
}

/* The connection is gone; the address stays for the next request. */
void vl_net_drop(void) {
    if (sock >= 0) close(sock);
    sock = -1;
}

static void net_close(void) {
    vl_net_drop();
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
    if (resolve() != 0) return VL_E_OPEN; /* errno is ENXIO */
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

/* Sends within the exchange's deadline, whether or not the peer reads. */
static int write_all(const uint8_t* bytes, size_t len, int64_t deadline) {
    size_t done = 0;
    while (done < len) {
        ssize_t n = send(sock, bytes + done, len - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += (size_t)n;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
            vl_wait_ready(sock, POLLOUT, deadline) == 1)
            continue;
        return -1;
    }
    return 0;
}

static void net_send(const uint8_t* frame, size_t len) {
    exchange_deadline = 0;
    if (!held) return;
    /* A connection that dropped since the last request gets one new attempt. */
    if (sock >= 0 && flush_input() != 0) vl_net_drop();
    if (sock < 0 && (sock = connect_host()) < 0) return;
    exchange_deadline = read_deadline();
    if (frame == NULL || len == 0) return;

    uint8_t out[MBAP_HEADER + VL_FRAME_MAX];
    const uint8_t* bytes = frame;
    if (mbap) { /* an MBAP length field counts no more than one frame */
        len = vl_mbap_wrap(out, frame, len > VL_FRAME_MAX ? VL_FRAME_MAX : len, ++transaction);
        bytes = out;
    }
    /* Part of a frame sent leaves the stream out of step: start afresh. */
    if (len > 0 && write_all(bytes, len, exchange_deadline) != 0) vl_net_drop();
}

int vl_net_read_more(uint8_t* buf, size_t* got, size_t room, int64_t deadline) {
    for (;;) {
        int ready = vl_wait_ready(sock, POLLIN, deadline);
        if (ready == 0) return 0;
        if (ready < 0) break;
        ssize_t n = recv(sock, buf + *got, room, MSG_DONTWAIT);
        if (n > 0) {
            *got += (size_t)n;
            return 1;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
        break;
    }
    vl_net_drop();
    return -1;
}

static int net_recv(uint8_t* buf, size_t max) {
    /* The reply gets what is left of the time-out its request began. */
    int64_t deadline = exchange_deadline != 0 ? exchange_deadline : read_deadline();
    exchange_deadline = 0;
    if (sock < 0) return -1;
    return vl_net_recv_frame(mbap, transaction, buf, max, deadline);
}

const struct vl_transport vl_net_transport = {
    net_open, net_close, net_is_open, net_set_read_timeout, net_pause_us, net_send, net_recv,
};
