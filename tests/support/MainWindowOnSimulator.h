#pragma once
// The main window against the simulator on the usual line (19200 baud, even
// parity, station 1): the simulator started, a settings file naming its link,
// and the window built on that file. The window goes before the simulator.
// Needs qmt_config in the test target besides what OnSimulator needs.

#include "SimulatorFixture.h"

#include "config/ModuleConfig.h"
#include "config/TPidConf.h"

#include <memory>
#include <string>
#include <vector>

namespace qmt::test {

template <class Base = ::testing::Test> class MainWindowOnSimulator : public OnSimulator<Base> {
protected:
    // Starts the simulator with the extra options, then the window; the
    // simulator's control commands in setUp run before the window exists.
    void startWindow(const std::vector<std::string>& more = {},
                     const std::vector<std::string>& controls = {}) {
        qmt::Config = {};
        ASSERT_FALSE(this->startEven(more).isEmpty());
        for (const std::string& command : controls)
            ASSERT_TRUE(this->sim.sendControl(command)) << command;
        const QString ini = this->settingsFile();
        ASSERT_FALSE(ini.isEmpty());
        window = std::make_unique<TPidConf>(nullptr, ini);
    }
    void TearDown() override {
        window.reset();
        OnSimulator<Base>::TearDown();
    }

    std::unique_ptr<TPidConf> window;
};

} // namespace qmt::test
