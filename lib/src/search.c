/* Module search: one identifying probe at each baud rate and parity. */
#include <stddef.h>

#include "vornlink_int.h"

static const uint32_t search_rates[] = {115200, 57600, 38400, 28800, 19200, 9600, 4800, 2400};

VORNLINK_API int32_t EnumParameters(const char* port, uint16_t version, uint16_t serial,
                                    uint8_t address, uint32_t* baud, uint8_t* parity) {
    /* Behind a gateway the line settings are the gateway's: nothing to search. */
    if (vl_is_network_name(port)) return VL_E_NO_ANSWER;

    /* Station 0, function 255; the module's codes travel low byte first. */
    uint8_t probe[9] = {0x00,          0xFF,        version & 0xFF, version >> 8,
                        serial & 0xFF, serial >> 8, address};
    uint16_t crc = vl_crc16(probe, 7);
    probe[7] = crc & 0xFF;
    probe[8] = crc >> 8;

    for (unsigned i = 0; i < 24; i++) {
        uint32_t rate = search_rates[i / 3];
        uint8_t par = (uint8_t)(i % 3);
        int32_t status = vl_port_configure(port, rate, par);
        if (status != VL_OK) return status;

        uint8_t answer[VL_FRAME_MAX];
        vl_port_send(probe, sizeof probe);
        if (vl_port_recv(answer, sizeof answer) != 9) continue;
        uint16_t got = vl_crc16(answer, 7);
        if (answer[7] != (got & 0xFF) || answer[8] != (got >> 8)) return VL_E_CRC;
        if (baud != NULL) *baud = rate;
        if (parity != NULL) *parity = par;
        return VL_OK;
    }
    return VL_E_NO_ANSWER;
}
