/* A stand-in for libvornlink.so that exports a chosen subset of its entry
 * points; each does nothing and reports success. */
#include <stdint.h>

#define EXPORT __attribute__((visibility("default")))

#ifndef OMIT_INIT_COMM
EXPORT int32_t init_comm(const char* port, uint32_t baud, uint8_t parity) {
    (void)port;
    (void)parity;
    return baud == 1234 ? 11 : 0;
}
#endif
#ifndef OMIT_INVOKE_MODB
EXPORT int32_t invoke_modb(uint8_t station, uint8_t function, uint16_t address, uint16_t count,
                           void* data) {
    (void)station;
    (void)function;
    (void)address;
    (void)count;
    (void)data;
    return 0;
}
#endif
#ifndef OMIT_SEND_AND_RECEIVE
EXPORT int32_t Send_And_Receive(int32_t length, const void* request, void* response) {
    (void)request;
    (void)response;
    return length;
}
#endif
#ifndef OMIT_ENUM
EXPORT int32_t EnumParameters(const char* port, uint16_t version, uint16_t serial, uint8_t address,
                              uint32_t* baud, uint8_t* parity) {
    (void)port;
    (void)version;
    (void)serial;
    (void)address;
    (void)baud;
    (void)parity;
    return 14;
}
#endif
#ifndef OMIT_SETTOUT
EXPORT int32_t SetTout(uint32_t ms) {
    return ms == 200;
}
#endif
