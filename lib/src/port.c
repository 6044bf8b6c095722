/* Serial port: opening, exclusivity, request writes and time-out bound reply reads. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include "deadline.h"
#include "vornlink_int.h"

/* A pause between two reply bytes longer than this ends the reply. */
#define VL_SILENCE_MS 55

static int port_fd = -1;
static uint32_t read_timeout_ms = VL_DEFAULT_READ_TIMEOUT_MS;
static uint32_t pause_us;

static void serial_close(void) {
    if (port_fd < 0) return;
    /* Exclusivity belongs to the tty, not the descriptor: give it up before
     * closing, or a descriptor still open elsewhere keeps everyone else out. */
    ioctl(port_fd, TIOCNXCL);
    close(port_fd); /* also drops the flock */
    port_fd = -1;
}

static int serial_is_open(void) {
    return port_fd >= 0;
}

static void serial_set_read_timeout(uint32_t ms) {
    read_timeout_ms = ms;
}

static uint32_t serial_pause_us(void) {
    return pause_us;
}

static int32_t serial_open(const char* path, uint32_t baud, uint8_t parity) {
    serial_close();
    if (path == NULL) {
        errno = EINVAL;
        return VL_E_OPEN;
    }

    /* Non-blocking, so neither opening a modem line nor any later read can hang. */
    int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return VL_E_OPEN; /* errno says why */
    int cause = 0;
    if (!isatty(fd))
        cause = ENOTTY;
    else if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0)
        cause = EBUSY; /* another process holds the port */
    if (cause != 0) {
        close(fd);
        errno = cause;
        return VL_E_OPEN;
    }
    port_fd = fd;

    if (vl_line_apply(fd, baud, parity) != 0) return VL_E_LINE;

    /* The reply time-outs are kept by poll() below, which needs the descriptor
     * to stay non-blocking. */
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) return VL_E_TIMEOUTS;

    /* Pseudo-terminals refuse modem lines; that is no reason to fail. */
    int bits = TIOCM_DTR;
    (void)ioctl(fd, TIOCMBIS, &bits);
    bits = TIOCM_RTS;
    (void)ioctl(fd, TIOCMBIC, &bits);

    pause_us = 62000000u / baud; /* 62 bit times */
    return VL_OK;
}

/* Waits until the output queue has left the port, but no longer than the write
 * time-out: a stuck adapter must not hang the caller. */
static void drain(int fd, int64_t deadline) {
    for (;;) {
        int queued = 0;
        if (ioctl(fd, TIOCOUTQ, &queued) != 0) break;
        if (queued <= 0) {
            tcdrain(fd); /* only the transmitter itself is left */
            return;
        }
        if (now_ns() >= deadline) break;
        struct timespec nap = {0, 200000};
        nanosleep(&nap, NULL);
    }
    tcflush(fd, TCOFLUSH);
}

static void serial_send(const uint8_t* frame, size_t len) {
    int fd = port_fd;
    if (fd < 0) return;

    /* Whatever waits now (the cut-off rest of an earlier reply, line noise)
     * would be taken for the start of this reply. */
    tcflush(fd, TCIFLUSH);

    int64_t deadline =
        now_ns() + ((int64_t)VL_WRITE_BASE_MS + (int64_t)VL_WRITE_PER_BYTE_MS * len) * 1000000;
    size_t done = 0;
    while (done < len) {
        ssize_t n = write(fd, frame + done, len - done);
        if (n > 0) {
            done += (size_t)n;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN && vl_wait_ready(fd, POLLOUT, deadline) == 1) continue;
        tcflush(fd, TCOFLUSH);
        return;
    }
    drain(fd, deadline);
}

static int serial_recv(uint8_t* buf, size_t max) {
    int fd = port_fd;
    if (fd < 0) return -1;

    int64_t deadline = now_ns() + (int64_t)read_timeout_ms * 1000000;
    /* The silence counts from the last byte, however often a signal cuts the wait. */
    int64_t silence_end = deadline;
    size_t got = 0;
    while (got < max) {
        int64_t end = got > 0 && silence_end < deadline ? silence_end : deadline;
        int wait = ms_until(end);
        if (wait == 0) break;

        struct pollfd p = {fd, POLLIN, 0};
        int r = poll(&p, 1, wait);
        if (r < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (r == 0) continue; /* the next round ends at the deadline or the silence */
        if (p.revents & POLLIN) {
            ssize_t n = read(fd, buf + got, max - got);
            if (n > 0) {
                got += (size_t)n;
                silence_end = now_ns() + (int64_t)VL_SILENCE_MS * 1000000;
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        }
        /* Hang-up or error: the device is gone; what came so far is no reply. */
        return -1;
    }
    return (int)got;
}

const struct vl_transport vl_serial_transport = {
    serial_open,     serial_close, serial_is_open, serial_set_read_timeout,
    serial_pause_us, serial_send,  serial_recv,
};
