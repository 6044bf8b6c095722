// The main window's everyday tools with the real library and the simulator:
// "Записать изменения...", "Поиск станций..." and "Монитор обмена...". What
// reached the module is read from the simulator's trace.
#include "Controls.h"
#include "MainWindowOnSimulator.h"
#include "TryExpect.h"

#include "config/ModuleConfig.h"
#include "config/PidFile.h"
#include "config/TPidConf.h"
#include "link/TTrafficMonitor.h"

#include <QCheckBox>
#include <QFile>
#include <QProgressBar>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

using qmt::test::click;
using qmt::test::control;

class ToolsOnSimulator : public qmt::test::MainWindowOnSimulator<> {
protected:
    void open(std::vector<std::string> options = {}) {
        startWindow(options);
        if (HasFatalFailure()) return;
        QMT_TRY_ASSERT_TIMEOUT(qmt::LinkUp, 5000); // the configuration is in the window
    }
    // Write requests (function 16) and the replies to them.
    int frames(const char* prefix) const {
        int n = 0;
        for (const std::string& line : sim.traceLines())
            n += line.rfind(prefix, 0) == 0;
        return n;
    }
    // Runs the command; the list of changes is answered by answer.
    QStringList writeChanges(int answer) {
        QStringList rows;
        prompts.modalScripts.push_back([&rows, answer](QDialog* d) {
            auto* list = control<QTreeWidget>(d, "lvChanges");
            for (int i = 0; list && i < list->topLevelItemCount(); ++i) {
                const QTreeWidgetItem* item = list->topLevelItem(i);
                rows << QStringList{item->text(0), item->text(1), item->text(2), item->text(3)}
                            .join('|');
            }
            return answer;
        });
        qmt::guarded([this] { window->miWriteChangesClick(); });
        prompts.modalScripts.clear();
        return rows;
    }
};

TEST_F(ToolsOnSimulator, WriteChangesListsThemAndWritesExactlyThoseOnConfirmation) {
    open();
    qmt::test::FakeStatus status;
    qmt::Config.pid[0].w[1] = 250; // "Уставка" of ПИД1, as its dialog stores it
    EXPECT_EQ(writeChanges(QDialog::Rejected),
              QStringList{QStringLiteral("265|\"Уставка(ПИД1)\"|0|250")});
    EXPECT_EQ(frames("< 01 10"), 0);

    EXPECT_EQ(writeChanges(QDialog::Accepted).size(), 1);
    EXPECT_EQ(frames("< 01 10"), 1);
    EXPECT_EQ(frames("< 01 10 01 09 00 01"), 1);
    EXPECT_EQ(sim.registerValue(265), 250);
    EXPECT_EQ(status.confirmations.last(), QStringLiteral("Изменения записаны: 1 регистр"));

    EXPECT_TRUE(writeChanges(QDialog::Accepted).isEmpty()); // no list at all
    EXPECT_EQ(prompts.lastText(), QStringLiteral("Изменений нет"));
    EXPECT_EQ(frames("< 01 10"), 1);
}

TEST_F(ToolsOnSimulator, WriteChangesToTheWrongStationOrASilentModule) {
    open();
    for (int n = 0; n < 3; ++n) {
        qmt::Config.pid[n].w[1] = static_cast<uint16_t>(100 + n);
        qmt::Config.pid[n].w[6] = static_cast<uint16_t>(10 + n);
    }
    qmt::PortSettings.address = 5;
    EXPECT_TRUE(writeChanges(QDialog::Accepted).isEmpty());
    EXPECT_EQ(prompts.lastText(), QStringLiteral("Нет ответа!"));
    EXPECT_EQ(frames("< 05 10"), 0);
    qmt::PortSettings.address = 1;

    // Silent after the second write: the message says how many of the six went.
    qmt::test::FakeClock clock;
    clock.onSleep = [this, &clock](int) {
        if (clock.sleeps.size() == 2) sim.sendControl("silent on");
    };
    EXPECT_EQ(writeChanges(QDialog::Accepted).size(), 6);
    EXPECT_EQ(frames("> 01 10"), 2);
    EXPECT_EQ(
        prompts.lastText(),
        QStringLiteral("Нет ответа!\nпараметр:\n\"Уставка(ПИД2)\"\nзаписано до сбоя: 2 из 6"));
    EXPECT_EQ(sim.registerValue(265), 100);
    EXPECT_EQ(sim.registerValue(270), 10);
}

// A file opened in the window reaches the module only through the list the
// engineer confirms: what the load refuses leaves nothing to write, what it
// fills with a default shows as exactly that register.
TEST_F(ToolsOnSimulator, WriteChangesAfterOpeningABadFileListsOnlyWhatTheFileChanged) {
    ASSERT_FALSE(startEven().isEmpty());
    ASSERT_TRUE(sim.sendControl("set 265 1500"));
    qmt::Config = {};
    window = std::make_unique<TPidConf>(nullptr, settingsFile());
    QMT_TRY_ASSERT_TIMEOUT(qmt::LinkUp, 5000);
    window->linkTimer()->stop();
    const qmt::ModuleConfig module = qmt::Config;
    const QString good = dir.filePath(QStringLiteral("good.pid"));
    qmt::SavePidFile(good, module);
    QFile file(good);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    const QByteArray key("XsDef=1500\n");
    ASSERT_GE(text.indexOf(key), 0);
    auto plain = [&](const char* name, const QByteArray& content) {
        QFile out(dir.filePath(QLatin1String(name)));
        EXPECT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(content);
        return out.fileName();
    };
    auto edited = [&](const char* name, const QByteArray& replacement) {
        QByteArray changed = text;
        return plain(name, changed.replace(text.indexOf(key), key.size(), replacement));
    };
    const QString setPoint = QStringLiteral("265|\"Уставка(ПИД1)\"|1500|");
    const struct {
        QString file;
        int rows;      // rows listed; -1: at least one
        bool setPoint; // the one row is ПИД1's set point
    } cases[] = {
        {edited("lacking.pid", ""), 1, true},
        {edited("hex.pid", "XsDef=0x1F\n"), 1, true},
        {edited("letters.pid", "XsDef=12abc\n"), 1, true},
        {edited("comma.pid", "XsDef=1,5\n"), 1, true},
        {edited("empty.pid", "XsDef=\n"), 1, true},
        {edited("range.pid", "XsDef=99999\n"), 0, false},
        {plain("text.pid", "just text\n"), 0, false},
        {dir.filePath(QStringLiteral("none.pid")), -1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        qmt::Config = module;
        prompts.openAnswers.push_back(c.file);
        qmt::guarded([this] { window->miFileOpenClick(); });
        const QStringList rows = writeChanges(QDialog::Rejected);
        if (c.rows >= 0) {
            EXPECT_EQ(rows.size(), c.rows) << rows.join(';').toStdString();
        } else {
            EXPECT_FALSE(rows.isEmpty());
        }
        if (c.setPoint && !rows.isEmpty()) {
            EXPECT_TRUE(rows[0].startsWith(setPoint)) << rows[0].toStdString();
        }
        EXPECT_EQ(frames("< 01 10"), 0);
    }
    EXPECT_EQ(sim.registerValue(265), 1500);
}

TEST_F(ToolsOnSimulator, StationScanListsTheAnsweringStationsAndStops) {
    open({"--address", "1,5,9"});
    ASSERT_TRUE(sim.sendControl("silent 5 on"));
    window->miStationScanClick();
    auto* scan = window->findChild<QDialog*>(QStringLiteral("StationScan"));
    ASSERT_NE(scan, nullptr);
    control<QSpinBox>(scan, "edTo")->setValue(12);
    click(scan, "btStart");
    auto* stop = control<QPushButton>(scan, "btStop");
    QMT_TRY_ASSERT_TIMEOUT(!stop->isEnabled(), 10000);
    auto* list = control<QTreeWidget>(scan, "lvStations");
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(0)->text(0), QStringLiteral("1"));
    EXPECT_EQ(list->topLevelItem(0)->text(1), QStringLiteral("QMT-584"));
    EXPECT_EQ(list->topLevelItem(1)->text(0), QStringLiteral("9"));
    EXPECT_EQ(control<QProgressBar>(scan, "pbScan")->value(), 12);

    // "Стоп" between two requests: none follows it.
    control<QSpinBox>(scan, "edTo")->setValue(247);
    click(scan, "btStart");
    QMT_TRY_ASSERT_TIMEOUT(list->topLevelItemCount() == 2, 5000);
    click(stop);
    const int probes = frames("< ") - frames("< 01 ");
    QTest::qWait(300);
    EXPECT_EQ(frames("< ") - frames("< 01 "), probes);
    EXPECT_LT(control<QProgressBar>(scan, "pbScan")->value(), 247);
}

TEST_F(ToolsOnSimulator, TrafficMonitorShowsTheFramesOnTheLine) {
    open();
    window->linkTimer()->stop(); // only this test's reads on the line
    window->miTrafficMonitorClick();
    auto* monitor = window->findChild<TTrafficMonitor*>(QStringLiteral("TrafficMonitor"));
    ASSERT_NE(monitor, nullptr);
    const size_t before = sim.traceLines().size();
    ASSERT_TRUE(sim.sendControl("fault exception 2 1"));
    qmt::guarded([this] { window->miReadConfClick(); });
    const auto& frames = monitor->model().frames();
    const std::vector<std::string> onLine = sim.traceLines();
    ASSERT_EQ(frames.size(), onLine.size() - before);
    for (size_t i = 0; i < frames.size(); ++i) {
        const std::string way = frames[i].request ? "<" : ">";
        EXPECT_EQ(way + " " + qmt::FrameHex(frames[i].bytes).toStdString(), onLine[before + i]);
    }
    EXPECT_EQ(qmt::FrameSummary(frames[1]),
              QStringLiteral("станция 1, функция 3, исключение 2: Недопустимый адрес данных"));

    control<QCheckBox>(monitor, "chbPause")->setChecked(true);
    qmt::guarded([this] { window->miReadResCountClick(); });
    EXPECT_EQ(frames.size(), onLine.size() - before);
    prompts.saveAnswers.push_back(dir.filePath(QStringLiteral("saved.txt")));
    click(monitor, "btSave");
    QFile saved(dir.filePath(QStringLiteral("saved.txt")));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(saved.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(static_cast<size_t>(lines.size()), frames.size());
    EXPECT_EQ(lines[0], qmt::FrameLine(frames[0]));
    click(monitor, "btClear");
    EXPECT_EQ(monitor->model().rowCount(), 0);
}

TEST(TrafficModel, KeepsTheLastTenThousandFrames) {
    qmt::TrafficModel model;
    for (int i = 0; i <= qmt::TrafficModel::MaxFrames; ++i)
        model.add({static_cast<uint64_t>(i), true, QByteArray(1, char(i & 0x7F)), 0, QString()});
    ASSERT_EQ(model.rowCount(), qmt::TrafficModel::MaxFrames);
    EXPECT_EQ(model.frames().front().timeNs, 1u);
    EXPECT_EQ(model.frames().back().timeNs, uint64_t(qmt::TrafficModel::MaxFrames));
}

} // namespace
