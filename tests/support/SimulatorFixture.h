#pragma once
// A test of the program with the real library against the simulator: the
// library bound once for the suite, scripted prompts, a folder for the
// settings file, and the settings path and port reset after every test.
// Needs VORNLINK_FILE and the simulator's process helper in the test target.

#include "FakeUi.h"

#include "link/Library.h"
#include "link/PortSettings.h"
#include "link/Settings.h"
#include "testing/SimProcess.h"

#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace qmt::test {

template <class Base = ::testing::Test> class OnSimulator : public Base {
protected:
    static void SetUpTestSuite() {
        FakePrompts quiet;
        ASSERT_TRUE(qmt::BindLibrary(VORNLINK_FILE));
    }
    void TearDown() override {
        qmt::setSettingsFilePath(QString());
        qmt::PortSettings = {};
    }

    FakePrompts prompts;
    QTemporaryDir dir;
    qmt::sim::SimProcess sim;
};

} // namespace qmt::test
