#pragma once
// A values window on the in-process fake module, with scripted prompts and
// clock, the configuration model as the program has it at start, and a folder
// for log files and test viewers.

#include "Controls.h"
#include "FakeModuleFixture.h"

#include "common/CheckBox.h"
#include "common/RadioGroup.h"
#include "config/ModuleConfig.h"
#include "link/PortSettings.h"
#include "monitor/MonitorGrid.h"
#include "monitor/TPidVal.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

namespace qmt::test {

class PidValTest : public OnFakeModule<> {
protected:
    void SetUp() override {
        Config = ModuleConfig{};
        ResetConfig();
        PortSettings = TPortSettings{};
        window = std::make_unique<TPidVal>();
        module.clearLog();
    }
    void TearDown() override { window.reset(); }

    // The six live words of regulator p (1..3).
    void setLive(int p, const std::array<uint16_t, 6>& words) {
        for (int k = 0; k < 6; ++k)
            module.setReg(static_cast<uint16_t>(1040 + 8 * (p - 1) + k), words[k]);
    }

    template <class W> W* find(const char* name) const { return control<W>(window.get(), name); }
    void clickButton(QPushButton* b) const { click(b); }
    // As the user does it: a mouse click on a radio item's indicator.
    void clickItem(RadioGroup* g, int item) const { choose(g, item); }

    // A mouse click on a grid cell (column first).
    static void clickCell(MonitorGrid* grid, int col, int row,
                          Qt::MouseButton button = Qt::LeftButton) {
        const QRect r = grid->visualRect(grid->model()->index(row, col));
        QTest::mouseClick(grid->viewport(), button, {}, r.center());
    }

    static QLineEdit* editorOf(MonitorGrid* grid) { return grid->currentEditor(); }

    // Types a text into an edit and presses Enter.
    static void enter(QLineEdit* edit, const QString& text) {
        ASSERT_NE(edit, nullptr);
        edit->setText(text);
        QTest::keyClick(edit, Qt::Key_Return);
    }

    std::vector<bool> regSelection(int p) const {
        std::vector<bool> out;
        for (const MonitorChannel& ch : window->RegChannels[p - 1])
            out.push_back(ch.selected);
        return out;
    }

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

    // Arms the value log on a fresh file, as the user does before switching
    // periodic update on.
    void armLog() {
        window->edLog->setText(dir.filePath(QStringLiteral("values.log")));
        window->chbLog->setChecked(true);
    }

    QTemporaryDir dir;
    std::unique_ptr<TPidVal> window;
};

} // namespace qmt::test
