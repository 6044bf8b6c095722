#pragma once
// A main window on the in-process fake module, with scripted prompts and clock,
// and a settings path of its own that does not exist (all defaults).

#include "Controls.h"
#include "FakeModuleFixture.h"

#include "common/RadioGroup.h"
#include "config/ModuleConfig.h"
#include "config/TPidConf.h"
#include "link/PortSettings.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace qmt::test {

class PidConfTest : public OnFakeModule<> {
protected:
    explicit PidConfTest(const sim::ModuleOptions& options = {}) : OnFakeModule(options) {}

    void SetUp() override {
        Config = ModuleConfig{};
        LinkUp = false;
        PortSettings = TPortSettings{};
        window = std::make_unique<TPidConf>(nullptr, dir.filePath(QStringLiteral("absent.ini")));
        // The supervision is driven by direct calls in these tests.
        window->linkTimer()->stop();
        module.clearLog();
    }

    void TearDown() override {
        window.reset();
        LinkUp = false;
    }

    RadioGroup* group(const char* name) const {
        return test::control<RadioGroup>(window.get(), name);
    }
    QWidget* control(const char* name) const { return test::control<QWidget>(window.get(), name); }
    bool shown(const char* name) const { return !control(name)->isHidden(); }
    // As the user does it: a mouse click on the item's indicator.
    void click(const char* name, int item) const { choose(group(name), item); }

    QTemporaryDir dir;
    std::unique_ptr<TPidConf> window;
};

} // namespace qmt::test
