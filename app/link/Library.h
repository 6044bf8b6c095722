#pragma once
// The entry points of libvornlink.so the program binds at start. Tests
// point them at an in-process fake module instead.

#include <cstdint>

namespace qmt {

using InitCommFn = int32_t (*)(const char* port, uint32_t baud, uint8_t parity);
using InvokeModbFn = int32_t (*)(uint8_t station, uint8_t function, uint16_t address,
                                 uint16_t count, void* data);
using EnumParametersFn = int32_t (*)(const char* port, uint16_t version, uint16_t serial,
                                     uint8_t address, uint32_t* baud, uint8_t* parity);
using SetToutFn = int32_t (*)(uint32_t milliseconds);
using EnumParametersAtFn = int32_t (*)(const char* port, uint16_t version, uint16_t serial,
                                       uint8_t address, uint8_t combination, uint32_t* baud,
                                       uint8_t* parity);

using SetTraceHookFn = void (*)(void (*hook)(void* context, int32_t direction, const uint8_t* bytes,
                                             int32_t length, uint64_t timeNs, int32_t status),
                                void* context);

struct LibraryApi {
    InitCommFn init_comm = nullptr;
    InvokeModbFn invoke_modb = nullptr;
    EnumParametersFn EnumParameters = nullptr;
    SetToutFn SetTout = nullptr;
    // Optional: the search one combination at a time. An older library
    // without it still serves; the search then runs in one call.
    EnumParametersAtFn EnumParametersAt = nullptr;
    // Optional: the traffic monitor's hook; without it there is nothing to watch.
    SetTraceHookFn SetTraceHook = nullptr;
};

// The program-wide entry-point references.
LibraryApi& library();

// Loads the library by name through the normal search path and looks up the four
// entry points; on failure shows the one message and returns false.
bool BindLibrary(const char* fileName = "libvornlink.so");

} // namespace qmt
