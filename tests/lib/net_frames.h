// Frames as a scripted gateway sends them, in either network framing.
#pragma once

#include <chrono>
#include <string>

#include "pty_module.h"
#include "tcp_peer.h"

namespace vltest {

// The reply to a request in the peer's framing: pdu behind the request's
// transaction id (Modbus TCP), or behind the station with a CRC (RTU); the
// shifts give a wrong transaction id or a length field that disagrees.
inline Bytes replyTo(bool mbap, const Bytes& req, uint8_t unit, const Bytes& pdu, int idShift = 0,
                     int lengthShift = 0) {
    Bytes f{unit};
    f.insert(f.end(), pdu.begin(), pdu.end());
    if (!mbap) return withCrc(f);
    if (req.size() < 2) return {};
    uint16_t id = static_cast<uint16_t>((req[0] << 8 | req[1]) + idShift);
    const size_t length = f.size() + lengthShift;
    Bytes head{static_cast<uint8_t>(id >> 8),     static_cast<uint8_t>(id),    0, 0,
               static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
    head.insert(head.end(), f.begin(), f.end());
    return head;
}

// Function 3 reply data: two registers.
inline Bytes twoRegisters(uint16_t a, uint16_t b) {
    return {3,
            4,
            static_cast<uint8_t>(a >> 8),
            static_cast<uint8_t>(a),
            static_cast<uint8_t>(b >> 8),
            static_cast<uint8_t>(b)};
}

inline std::string address(bool mbap, int port, bool v6 = false) {
    return std::string(mbap ? "tcp://" : "rtu+tcp://") + (v6 ? "[::1]:" : "127.0.0.1:") +
           std::to_string(port);
}

inline double msSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count();
}

} // namespace vltest
