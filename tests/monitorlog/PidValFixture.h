#pragma once
// A values window on the in-process fake module, with scripted prompts and
// clock and a folder for log files and test viewers.

#include "FakeModule.h"
#include "FakeUi.h"

#include "config/ModuleConfig.h"
#include "link/CheckBox.h"
#include "link/PortSettings.h"
#include "monitor/TPidVal.h"

#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace qmt::test {

class PidValTest : public ::testing::Test {
protected:
    void SetUp() override {
        Config = ModuleConfig{};
        PortSettings = TPortSettings{};
        window = std::make_unique<TPidVal>();
    }
    void TearDown() override { window.reset(); }

    QString file(const char* name) const { return dir.filePath(QLatin1String(name)); }
    static QByteArray contents(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void selectOnly(std::initializer_list<int> ids) {
        for (auto& regulator : window->RegChannels)
            for (MonitorChannel& ch : regulator)
                ch.selected = std::find(ids.begin(), ids.end(), ch.id) != ids.end();
        for (MonitorChannel& ch : window->ModChannels)
            ch.selected = std::find(ids.begin(), ids.end(), ch.id) != ids.end();
    }
    // One tick of the update timer ms after the last, as its connection runs it.
    bool tick(int ms) {
        clock.current = clock.current.addMSecs(ms);
        return guarded([this] { window->btReadClick(); });
    }

    FakeModule module;
    FakePrompts prompts;
    FakeClock clock;
    QTemporaryDir dir;
    std::unique_ptr<TPidVal> window;
};

} // namespace qmt::test
