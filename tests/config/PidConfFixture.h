#pragma once
// A main window on the in-process fake module, with scripted prompts and clock,
// and a settings path of its own that does not exist (all defaults).

#include "FakeModule.h"
#include "FakeUi.h"

#include "common/RadioGroup.h"
#include "config/ModuleConfig.h"
#include "config/TPidConf.h"
#include "link/PortSettings.h"

#include <QLabel>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace qmt::test {

class PidConfTest : public ::testing::Test {
protected:
    explicit PidConfTest(const sim::ModuleOptions& options = {}) : module(options) {}

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
        auto* g = window->findChild<RadioGroup*>(QLatin1String(name));
        EXPECT_NE(g, nullptr) << name;
        return g;
    }
    QWidget* control(const char* name) const {
        auto* w = window->findChild<QWidget*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    bool shown(const char* name) const { return !control(name)->isHidden(); }

    // As the user does it: a mouse click on the item's indicator.
    void click(const char* name, int item) const {
        QRadioButton* b = group(name)->button(item);
        ASSERT_NE(b, nullptr);
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
    }

    // (function, address, count) of every request, in order.
    std::vector<std::string> requests() const {
        std::vector<std::string> out;
        for (const Request& r : module.log)
            out.push_back(std::to_string(r.function) + ":" + std::to_string(r.address) + ":" +
                          std::to_string(r.count));
        return out;
    }

    FakePrompts prompts;
    FakeClock clock;
    FakeModule module;
    QTemporaryDir dir;
    std::unique_ptr<TPidConf> window;
};

} // namespace qmt::test
