/* Module search: one identifying probe at each baud rate and parity. */
#include <stddef.h>

#include "vornlink_int.h"

static const uint32_t search_rates[] = {VL_SEARCH_RATES};

/* Station 0, function 255; the module's codes travel low byte first. */
static void build_probe(uint8_t probe[9], uint16_t version, uint16_t serial, uint8_t address) {
    probe[0] = 0x00;
    probe[1] = 0xFF;
    probe[2] = version & 0xFF;
    probe[3] = version >> 8;
    probe[4] = serial & 0xFF;
    probe[5] = serial >> 8;
    probe[6] = address;
    uint16_t crc = vl_crc16(probe, 7);
    probe[7] = crc & 0xFF;
    probe[8] = crc >> 8;
}

/* One combination: VL_OK with the outputs written, VL_E_NO_ANSWER to go on,
 * or the status that ends the search. */
static int32_t probe_at(const char* port, const uint8_t probe[9], unsigned i, uint32_t* baud,
                        uint8_t* parity) {
    uint32_t rate = search_rates[i / VL_SEARCH_PARITIES];
    uint8_t par = (uint8_t)(i % VL_SEARCH_PARITIES);
    int32_t status = vl_port_configure(port, rate, par);
    if (status != VL_OK) return status;

    uint8_t answer[VL_FRAME_MAX];
    vl_port_send(probe, 9);
    if (vl_port_recv(answer, sizeof answer) != 9) return VL_E_NO_ANSWER;
    uint16_t got = vl_crc16(answer, 7);
    if (answer[7] != (got & 0xFF) || answer[8] != (got >> 8)) return VL_E_CRC;
    if (baud != NULL) *baud = rate;
    if (parity != NULL) *parity = par;
    return VL_OK;
}

VORNLINK_API int32_t EnumParameters(const char* port, uint16_t version, uint16_t serial,
                                    uint8_t address, uint32_t* baud, uint8_t* parity) {
    /* Behind a gateway the line settings are the gateway's: nothing to search. */
    if (vl_is_network_name(port)) return VL_E_NO_ANSWER;

    uint8_t probe[9];
    build_probe(probe, version, serial, address);
    for (unsigned i = 0; i < VL_SEARCH_COMBINATIONS; i++) {
        int32_t status = probe_at(port, probe, i, baud, parity);
        if (status != VL_E_NO_ANSWER) return status;
    }
    return VL_E_NO_ANSWER;
}

VORNLINK_API int32_t EnumParametersAt(const char* port, uint16_t version, uint16_t serial,
                                      uint8_t address, uint8_t combination, uint32_t* baud,
                                      uint8_t* parity) {
    if (vl_is_network_name(port)) return VL_E_NO_ANSWER;
    /* An index past the table tries nothing, as a search that has run out. */
    if (combination >= VL_SEARCH_COMBINATIONS) return VL_E_NO_ANSWER;

    uint8_t probe[9];
    build_probe(probe, version, serial, address);
    return probe_at(port, probe, combination, baud, parity);
}
