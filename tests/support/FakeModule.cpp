#include "FakeModule.h"

#include <cstring>

namespace qmt::test {
namespace {
FakeModule* instance = nullptr;

void put16(std::vector<uint8_t>& frame, uint16_t v) {
    frame.push_back(static_cast<uint8_t>(v >> 8));
    frame.push_back(static_cast<uint8_t>(v & 0xFF));
}
} // namespace

FakeModule::FakeModule(const sim::ModuleOptions& options) : module_(options) {
    instance = this;
    saved_ = library();
    library().init_comm = &initCommEntry;
    library().invoke_modb = &invokeEntry;
    library().EnumParameters = &enumEntry;
    library().EnumParametersAt = nullptr; // the search runs in one call unless a test steps it
    library().SetTraceHook = nullptr;
    library().SetTout = &setToutEntry;
}

FakeModule::~FakeModule() {
    library() = saved_;
    instance = nullptr;
}

FakeModule* FakeModule::current() {
    return instance;
}

std::vector<std::string> FakeModule::writes() const {
    std::vector<std::string> out;
    for (const Request& r : log) {
        if (r.function != 16) continue;
        for (size_t i = 0; i < r.values.size(); ++i)
            out.push_back(std::to_string(r.address + i) + "=" + std::to_string(r.values[i]));
    }
    return out;
}

std::vector<std::string> FakeModule::requests() const {
    std::vector<std::string> out;
    for (const Request& r : log)
        out.push_back(std::to_string(r.function) + ":" + std::to_string(r.address) + ":" +
                      std::to_string(r.count));
    return out;
}

void FakeModule::failNext(int32_t status, int times) {
    for (int i = 0; i < times; ++i)
        scriptedFailures_.push_back(status);
}

int32_t FakeModule::invoke(uint8_t station, uint8_t function, uint16_t address, uint16_t count,
                           void* data) {
    Request request{station, function, address, count, {}, 0};
    if (function == 16 && data) {
        const auto* words = static_cast<const uint16_t*>(data);
        request.values.assign(words, words + count);
    }
    int32_t status = 0;
    if (!data) {
        status = 16;
    } else if (silent) {
        status = 14;
    } else if (!scriptedFailures_.empty()) {
        status = scriptedFailures_.front();
        scriptedFailures_.erase(scriptedFailures_.begin());
    } else if (failWhen) {
        status = failWhen(request);
    }
    if (status == 0) {
        std::vector<uint8_t> frame{station, function};
        put16(frame, address);
        put16(frame, count);
        if (function == 16) {
            frame.push_back(static_cast<uint8_t>(2 * count));
            for (uint16_t w : request.values)
                put16(frame, w);
        } else if (function != 3 && function != 4) {
            status = 15;
        }
        if (status == 0) {
            const uint16_t crc = sim::crc16(frame.data(), frame.size());
            frame.push_back(static_cast<uint8_t>(crc & 0xFF));
            frame.push_back(static_cast<uint8_t>(crc >> 8));
            const std::vector<uint8_t> reply = module_.handleFrame(frame.data(), frame.size());
            if (reply.size() < 5) {
                status = 14;
            } else if (reply[1] & 0x80) {
                status = reply[2];
            } else if (function == 3 || function == 4) {
                auto* words = static_cast<uint16_t*>(data);
                const size_t n = reply[2] / 2;
                for (size_t i = 0; i < n && i < count; ++i)
                    words[i] = static_cast<uint16_t>(reply[3 + 2 * i] << 8 | reply[4 + 2 * i]);
            }
        }
    }
    request.status = status;
    log.push_back(std::move(request));
    return status;
}

int32_t FakeModule::initCommEntry(const char* port, uint32_t baud, uint8_t parity) {
    if (!instance) return 11;
    instance->opens.push_back({port ? port : "", baud, parity});
    return instance->initCommResult;
}

int32_t FakeModule::invokeEntry(uint8_t station, uint8_t function, uint16_t address, uint16_t count,
                                void* data) {
    return instance ? instance->invoke(station, function, address, count, data) : 14;
}

int32_t FakeModule::enumEntry(const char* port, uint16_t version, uint16_t serial, uint8_t address,
                              uint32_t* baud, uint8_t* parity) {
    if (!instance) return 11;
    instance->enumCalls.push_back({port ? port : "", version, serial, address});
    if (instance->onEnum) instance->onEnum();
    if (instance->enumResult == 0) {
        *baud = instance->enumBaud;
        *parity = instance->enumParity;
    }
    return instance->enumResult;
}

int32_t FakeModule::setToutEntry(uint32_t ms) {
    if (!instance) return 0;
    instance->timeouts.push_back(ms);
    return 1;
}

} // namespace qmt::test
