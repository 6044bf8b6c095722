// Checks the curvix file targets make on what was loaded into the store.
#pragma once

#include "core/Dataset.h"

#include <cstdint>
#include <cstdlib>

namespace curvix_fuzz {

// A failed check is a crash, so that the fuzzer keeps the input.
inline void check(bool ok) {
    if (!ok) abort();
}

// Every channel's samples in time order.
inline void checkTimeOrdered(const curvix::Dataset& dataset) {
    for (const curvix::Channel* c : dataset.channels())
        for (int64_t i = 1; i < c->samples.size(); ++i)
            check(c->samples.time(i - 1) <= c->samples.time(i));
}

} // namespace curvix_fuzz
