#pragma once
// The PID parameters dialog's write to the module, for every caller that
// writes a regulator's parameters: one register per request, a pause after
// each for the module to store it, and a failure that names its parameter.

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

class QString;

namespace qmt {

// The name of parameter offset 0..12 (from XsDef) in a write failure's message.
QString PidParameterName(int offset);

// Writes (offset, value) pairs of regulator n in the order given; progress
// gets the count written. An ECommError gets "\nпараметр \"NAME\"" appended
// and ends the write: the offsets before it keep their new values.
void WritePidParameters(int n, const std::vector<std::pair<int, uint16_t>>& values,
                        const std::function<void(int written)>& progress = {});

// After a successful write: the model's words of those offsets.
void StorePidParameters(int n, const std::vector<std::pair<int, uint16_t>>& values);

} // namespace qmt
