/* The port layer's dispatch: one transport at a time, picked by the port name. */
#include "vornlink_int.h"

static const struct vl_transport* active = &vl_serial_transport;

int32_t vl_port_configure(const char* path, uint32_t baud, uint8_t parity) {
    active->close();
    active = vl_is_network_name(path) ? &vl_net_transport : &vl_serial_transport;
    return active->open(path, baud, parity);
}

void vl_port_close(void) {
    active->close();
}

int vl_port_is_open(void) {
    return active->is_open();
}

/* The time-out holds for every later port too, whichever kind it is. */
void vl_port_set_read_timeout(uint32_t ms) {
    vl_serial_transport.set_read_timeout(ms);
    vl_net_transport.set_read_timeout(ms);
}

int vl_port_is_network(void) {
    return active == &vl_net_transport;
}

uint32_t vl_port_pause_us(void) {
    return active->pause_us();
}

void vl_port_send(const uint8_t* frame, size_t len) {
    active->send(frame, len);
}

int vl_port_recv(uint8_t* buf, size_t max) {
    return active->recv(buf, max);
}
