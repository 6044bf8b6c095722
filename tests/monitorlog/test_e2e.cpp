// The values window with the real library against the simulator: periodic
// update at 200 ms with the log and the hand-off on for 20 s. Every read cycle
// gives one log line and the viewer the same values.
#include "PeerDir.h"
#include "SimulatorFixture.h"

#include "common/CheckBox.h"
#include "common/Cp1251.h"
#include "config/ModuleConfig.h"
#include "link/PortSettings.h"
#include "link/RegisterAccess.h"
#include "monitor/TPidVal.h"
#include "monitor/TPidValLog.h"
#include "monitor/TrendHandOff.h"

#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstring>
#include <map>

namespace {

using qmt::test::PeerDir;
using qmt::test::u32At;

using PidValOnSimulator = qmt::test::OnSimulator<>;

TEST_F(PidValOnSimulator, LogAndViewerGetEveryCycle) {
    ASSERT_FALSE(startEven().isEmpty());
    qmt::Config = {};
    ASSERT_TRUE(qmt::OpenPort(link, 19200, 2));

    PeerDir peers;
    const QString log = dir.filePath("night.log");
    auto window = std::make_unique<TPidVal>();
    qmt::TrendHandOff& handOff = TrendOf(*window);
    handOff.setProgramDir(peers.path());

    window->edPerUpd->setText("200");
    window->edLog->setText(log);
    window->chbLog->userClick();
    window->chbTrend->userClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return handOff.hasViewer(); }, 5000));
    const pid_t viewer = static_cast<pid_t>(handOff.handle());
    window->chbUpdate->userClick();
    EXPECT_EQ(window->tmUpdate->interval(), 200);
    QTest::qWait(20000);
    window->chbUpdate->userClick();
    EXPECT_FALSE(window->chbLog->checked());
    EXPECT_TRUE(prompts.shown.empty()) << prompts.lastText().toStdString();

    int cycles = 0;
    for (const std::string& line : sim.traceLines())
        cycles += line.rfind("< 01 03 04 00 00 04", 0) == 0;
    sim.stop();

    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_TRUE(lines.size() > 2 && lines.takeLast().isEmpty());
    const QByteArray header = lines.takeFirst();
    EXPECT_GT(cycles, 40);
    EXPECT_EQ(lines.size(), cycles);

    // Column of each channel name in the header.
    std::map<QByteArray, int> column;
    for (int i = 1; 9 * i < header.size() - 1; ++i)
        column[header.mid(9 * i, 9).trimmed()] = i;
    ASSERT_EQ(column.size(), 25u);
    std::map<std::int32_t, QByteArray> nameOf;
    for (const auto& regulator : window->RegChannels)
        for (const MonitorChannel& ch : regulator)
            nameOf[ch.id] = qmt::toCp1251(ch.name);
    for (const MonitorChannel& ch : window->ModChannels)
        nameOf[ch.id] = qmt::toCp1251(ch.name);

    std::vector<QByteArray> samples;
    for (const QByteArray& r : peers.records(viewer))
        if (r[0] == '\x09') samples.push_back(r);
    ASSERT_EQ(samples.size(), 13u * lines.size());
    for (int c = 0; c < lines.size(); ++c) {
        const QByteArray& line = lines[c];
        for (int k = 0; k < 13; ++k) {
            const QByteArray& s = samples[13 * c + k];
            EXPECT_EQ(s.mid(9), samples[13 * c].mid(9)) << "one time stamp per cycle";
            const auto id = static_cast<std::int32_t>(u32At(s, 1));
            const std::uint32_t bits = u32At(s, 5);
            float value;
            std::memcpy(&value, &bits, sizeof value);
            const int col = column.at(nameOf.at(id));
            EXPECT_EQ(line.mid(9 * col, 9).trimmed().toFloat(), value)
                << "cycle " << c << " channel " << id;
        }
    }
    window.reset();
}

} // namespace
