#pragma once
// A test of the program on the in-process fake module: scripted prompts and
// clock, and the module that answers every register access and logs it.
// Members are declared before the fixture's own, so its windows go first.

#include "FakeModule.h"
#include "FakeUi.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qmt::test {

template <class Base = ::testing::Test> class OnFakeModule : public Base {
protected:
    explicit OnFakeModule(const sim::ModuleOptions& options = {}) : module(options) {}

    // Every request as "function:address:count", in order.
    std::vector<std::string> requests() const { return module.requests(); }

    FakePrompts prompts;
    FakeClock clock;
    FakeModule module;
};

} // namespace qmt::test
