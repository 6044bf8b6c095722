// The module behind an Ethernet gateway: one TCP client at a time, carrying
// RTU frames as they are or Modbus TCP (MBAP header, no CRC).
#pragma once

#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "app/Control.h"
#include "app/ControlFifo.h"
#include "app/Options.h"
#include "core/Module.h"

namespace qmt::sim {

class TcpServer {
public:
    // Serves every station of line (at least one).
    TcpServer(Line& line, const SimOptions& options);
    ~TcpServer();
    TcpServer(const TcpServer&) = delete;
    TcpServer& operator=(const TcpServer&) = delete;

    // Listens, opens the FIFO and the trace; false with a message.
    bool open(std::string& error);
    // HOST:PORT actually listened on (the port chosen by the system for 0).
    const std::string& address() const { return address_; }
    void run(volatile std::sig_atomic_t& stop);

private:
    using Clock = std::chrono::steady_clock;
    struct Segment {
        std::vector<uint8_t> bytes;
        Clock::time_point due;
        bool closeAfter;
    };

    void acceptClient();
    void closeClient();
    void readClient(Clock::time_point now);
    // Length of the request begun in rx_ when it can be told, else 0.
    size_t requestLength() const;
    void answer(std::vector<uint8_t> request, const uint8_t* mbapHead, Clock::time_point now);
    void sendDue(Clock::time_point now);

    Line& line_;
    const SimOptions& opt_;
    Faults faults_;
    bool silent_ = false;
    int listen_ = -1, client_ = -1;
    ControlFifo control_;
    std::string address_;
    FILE* trace_ = nullptr;
    std::vector<uint8_t> rx_;
    Clock::time_point lastRx_;
    std::vector<Segment> tx_;
};

// Splits "HOST:PORT" or "[V6]:PORT"; false when it is neither.
bool splitHostPort(const std::string& text, std::string& host, std::string& port);

} // namespace qmt::sim
