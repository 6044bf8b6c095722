#pragma once
// A test of the program with the real library against the simulator: the
// library bound once for the suite, scripted prompts, a folder for the
// settings file; the link-up flag, the settings path, the port settings and
// the simulator reset after every test. A fixture that adds its own TearDown
// lets go of its windows first, then calls this one.
// Needs VORNLINK_FILE and the simulator's process helper in the test target.

#include "FakeUi.h"
#include "LinkSettings.h"

#include "link/Library.h"
#include "link/PortSettings.h"
#include "link/RegisterAccess.h"
#include "link/Settings.h"
#include "testing/SimProcess.h"

#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qmt::test {

template <class Base = ::testing::Test> class OnSimulator : public Base {
protected:
    static void SetUpTestSuite() {
        FakePrompts quiet;
        ASSERT_TRUE(qmt::BindLibrary(VORNLINK_FILE));
    }
    void SetUp() override {
        Base::SetUp();
        ASSERT_TRUE(dir.isValid());
        qmt::LinkUp = false;
        qmt::PortSettings = {};
    }
    void TearDown() override {
        sim.stop();
        qmt::setSettingsFilePath(QString());
        qmt::PortSettings = {};
        qmt::LinkUp = false;
        Base::TearDown();
    }

    // Starts the simulator with these options; its link, or "" (and a failure).
    QString start(const std::vector<std::string>& options) {
        link = QString::fromStdString(sim.start(options));
        EXPECT_FALSE(link.isEmpty()) << sim.error();
        return link;
    }
    // The usual line: 19200 baud, even parity, station 1, as the program starts.
    QString startEven(std::vector<std::string> more = {}) {
        std::vector<std::string> options{"--baud", "19200", "--parity", "even"};
        options.insert(options.end(), more.begin(), more.end());
        return start(options);
    }
    // The program's port on the simulator's link at 19200 baud, even parity, station 1.
    bool openEven() {
        qmt::PortSettings = {link, 19200, 2, 1};
        return qmt::OpenPort(link, 19200, 2);
    }
    // A settings file with the simulator's link in the folder; its path, or "".
    QString settingsFile(int baud = 19200) { return writeLinkSettings(dir, link, baud); }

    FakePrompts prompts;
    QTemporaryDir dir;
    qmt::sim::SimProcess sim;
    QString link;
};

} // namespace qmt::test
