#pragma once
// An in-process module behind the same function-pointer interface as the
// library: requests are framed as RTU, answered by the simulator's register
// model, and logged, so tests check exactly what the program sent.

#include "core/Module.h"
#include "link/Library.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qmt::test {

struct Request {
    uint8_t station = 0;
    uint8_t function = 0;
    uint16_t address = 0;
    uint16_t count = 0;
    std::vector<uint16_t> values; // the words written (function 16)
    int32_t status = 0;           // what the call returned

    bool isWrite(uint16_t a, uint16_t v) const {
        return function == 16 && address == a && values.size() == 1 && values[0] == v;
    }
};

struct PortOpen {
    std::string port;
    uint32_t baud;
    uint8_t parity;
};

class FakeModule {
public:
    explicit FakeModule(const sim::ModuleOptions& options = {});
    ~FakeModule();
    FakeModule(const FakeModule&) = delete;
    FakeModule& operator=(const FakeModule&) = delete;

    sim::Module& module() { return module_; }
    uint16_t reg(uint16_t address) const { return module_.reg(address); }
    void setReg(uint16_t address, uint16_t value) { module_.setReg(address, value); }

    std::vector<Request> log; // every invoke_modb call, failed ones included
    void clearLog() { log.clear(); }
    // Only the write requests (function 16), as "address=value" texts; handy in assertions.
    std::vector<std::string> writes() const;
    // Every request as "function:address:count", in order.
    std::vector<std::string> requests() const;

    // Failure scripting. A call that fails returns the status without reaching the module.
    void failNext(int32_t status, int times = 1);
    bool silent = false; // the module is unplugged: every call returns 14
    std::function<int32_t(const Request&)> failWhen; // non-zero fails that call

    // Port side.
    std::vector<PortOpen> opens;
    int32_t initCommResult = 0;
    std::vector<uint32_t> timeouts;
    // Search: the result of EnumParameters and what it reports as found.
    int32_t enumResult = 14;
    uint32_t enumBaud = 0;
    uint8_t enumParity = 0;
    struct EnumCall {
        std::string port;
        uint16_t version, serial;
        uint8_t address;
    };
    std::vector<EnumCall> enumCalls;
    std::function<void()> onEnum; // runs inside the search (e.g. to look at the wait window)

    static FakeModule* current();

private:
    int32_t invoke(uint8_t station, uint8_t function, uint16_t address, uint16_t count, void* data);
    static int32_t initCommEntry(const char* port, uint32_t baud, uint8_t parity);
    static int32_t invokeEntry(uint8_t station, uint8_t function, uint16_t address, uint16_t count,
                               void* data);
    static int32_t enumEntry(const char* port, uint16_t version, uint16_t serial, uint8_t address,
                             uint32_t* baud, uint8_t* parity);
    static int32_t setToutEntry(uint32_t ms);

    sim::Module module_;
    LibraryApi saved_;
    std::vector<int32_t> scriptedFailures_;
};

} // namespace qmt::test
