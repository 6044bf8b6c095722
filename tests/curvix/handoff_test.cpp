// The program's side of the hand-off against the real viewer: what the
// values window sends reaches curvix's window, and curvix outlives the sender.

#include "FakeUi.h"
#include "TryExpect.h"
#include "ViewerProcess.h"

#include "monitor/TrendHandOff.h"

#include <QDateTime>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sys/wait.h>

namespace {

std::vector<std::string> lines(const std::string& path) {
    std::vector<std::string> out;
    std::ifstream in(path);
    for (std::string l; std::getline(in, l);)
        out.push_back(l);
    return out;
}

bool has(const std::vector<std::string>& all, const std::string& line) {
    return std::find(all.begin(), all.end(), line) != all.end();
}

} // namespace

TEST(CurvixHandOff, TheValuesWindowsRecordsReachTheViewer) {
    QTemporaryDir folder;
    const std::string dump = folder.filePath(QStringLiteral("dump.txt")).toStdString();
    setenv("CURVIX_DUMP", dump.c_str(), 1);
    // The viewer keeps its settings in the test's folder, not the user's.
    setenv("XDG_CONFIG_HOME", folder.path().toLocal8Bit().constData(), 1);
    qmt::test::FakeClock clock; // the 500 ms before the thread message
    pid_t viewerPid = 0;
    {
        qmt::TrendHandOff handOff;
        handOff.setProgramDir(QFileInfo(QStringLiteral(CURVIX_FILE)).absolutePath());
        handOff.setChannels([] {
            return std::vector<qmt::TrendChannel>{{1, QStringLiteral("Xs(k)1")},
                                                  {10, QStringLiteral("Y(k)2")},
                                                  {33, QStringLiteral("АЦП3")},
                                                  {34, QStringLiteral("ЦАП")}};
        });
        ASSERT_EQ(handOff.startViewer(), qmt::TrendHandOff::Start::Started);
        QMT_TRY_ASSERT_TIMEOUT(handOff.hasViewer(), 15000);
        handOff.sendStart();
        const QDateTime t(QDate(2026, 12, 9), QTime(12, 0, 0, 250));
        handOff.sendSamples({{10, QStringLiteral("-20")}, {33, QStringLiteral("1200")}}, t);
        handOff.sendSamples({{10, QStringLiteral("-19")}, {33, QStringLiteral("1201")}},
                            t.addSecs(1));
        EXPECT_TRUE(handOff.viewerAlive());

        const std::string ms = std::to_string(t.toMSecsSinceEpoch());
        const std::string ms1 = std::to_string(t.addSecs(1).toMSecsSinceEpoch());
        // Acknowledged as soon as queued: the window takes them a moment later.
        QMT_TRY_ASSERT_TIMEOUT(has(lines(dump), "sample 33 " + ms1 + " 1201 АЦП3"), 5000);
        const auto all = lines(dump);
        EXPECT_TRUE(has(all, "begin"));
        EXPECT_TRUE(has(all, "channel 33 АЦП3"));
        EXPECT_TRUE(has(all, "channel 34 ЦАП"));
        EXPECT_TRUE(has(all, "start"));
        EXPECT_TRUE(has(all, "sample 10 " + ms + " -20 Y(k)2"));
        EXPECT_TRUE(has(all, "sample 33 " + ms1 + " 1201 АЦП3"));
        for (const std::string& l : all)
            if (l.rfind("token ", 0) == 0) viewerPid = std::stoi(l.substr(l.find(" pid ") + 5));
        ASSERT_GT(viewerPid, 0);
    }
    // The program's side is gone: the viewer keeps its window and says so.
    auto ended = [&] {
        for (const std::string& l : lines(dump))
            if (l == "ended Источник отключён") return true;
        return false;
    };
    QMT_TRY_ASSERT_TIMEOUT(ended(), 5000);
    EXPECT_EQ(::kill(viewerPid, 0), 0);
    ::kill(viewerPid, SIGTERM);
    unsetenv("CURVIX_DUMP");
    unsetenv("XDG_CONFIG_HOME");
}
