// The trend hand-off against the test viewer: finding and starting it, the
// registration and its channel list, start and sample records, and every way a
// viewer can misbehave without stalling or ending the program.
#include "FakeUi.h"
#include "PeerDir.h"

#include "monitor/TrendHandOff.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using qmt::TrendCell;
using qmt::TrendChannel;
using qmt::TrendHandOff;
using qmt::test::FakeClock;
using qmt::test::PeerDir;
using qmt::test::u32At;

const std::vector<TrendChannel> AllOffered = {
    {1, "Xs(k)1"},
    {2, "Xm(k)1"},
    {3, "Y(k)1"},
    {8, "Xs(k)2"},
    {9, "Xm(k)2"},
    {10, "Y(k)2"},
    {15, "Xs(k)3"},
    {16, "Xm(k)3"},
    {17, "Y(k)3"},
    {31, QString::fromUtf8("АЦП1")},
    {32, QString::fromUtf8("АЦП2")},
    {33, QString::fromUtf8("АЦП3")},
    {34, QString::fromUtf8("ЦАП")},
};

class TrendTest : public ::testing::Test {
protected:
    void SetUp() override {
        handOff.setProgramDir(peers.path());
        handOff.setChannels([this] { return offered; });
    }
    // Starts a viewer and waits for its registration; returns its process id.
    pid_t startRegistered() {
        const std::uint32_t before = handOff.handle();
        EXPECT_EQ(handOff.startViewer(), TrendHandOff::Start::Started);
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return handOff.hasViewer() && handOff.handle() != before; }));
        return static_cast<pid_t>(handOff.handle());
    }
    float floatAt(const QByteArray& b, int offset) {
        const std::uint32_t bits = u32At(b, offset);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }

    FakeClock clock;
    qmt::test::FakePrompts prompts;
    PeerDir peers;
    std::vector<TrendChannel> offered = AllOffered;
    TrendHandOff handOff;
};

TEST_F(TrendTest, RegistrationSendsBeginAndThirteenChannelRecords) {
    const pid_t pid = startRegistered();
    EXPECT_EQ(clock.sleeps, std::vector<int>{500});
    EXPECT_TRUE(handOff.viewerAlive());

    const auto frames = peers.frames().at(pid);
    // First the thread message with the program's thread id.
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames[0].size(), 9);
    EXPECT_EQ(frames[0][0], 'P');
    EXPECT_EQ(u32At(frames[0], 1), 0x0400u);
    EXPECT_EQ(u32At(frames[0], 5), static_cast<std::uint32_t>(gettid()));
    for (std::size_t i = 1; i < frames.size(); ++i)
        EXPECT_EQ(u32At(frames[i], 1), static_cast<std::uint32_t>(pid)) << "wParam of frame " << i;

    const auto records = peers.records(pid);
    ASSERT_EQ(records.size(), 14u);
    EXPECT_EQ(records[0], QByteArray(1, '\x02'));
    for (std::size_t i = 0; i < AllOffered.size(); ++i) {
        EXPECT_EQ(records[i + 1][0], '\x03');
        EXPECT_EQ(static_cast<std::int32_t>(u32At(records[i + 1], 1)), AllOffered[i].id);
    }
    EXPECT_EQ(records[1], QByteArray("\x03\x01\x00\x00\x00Xs(k)1\x00", 12));
    EXPECT_EQ(records[13], QByteArray("\x03\x22\x00\x00\x00\xD6\xC0\xCF\x00", 9));
}

TEST_F(TrendTest, SamplesCarryIdValueAndOneTimeStampPerCycle) {
    offered = {{10, "Y(k)2"}, {33, QString::fromUtf8("АЦП3")}};
    const pid_t pid = startRegistered();
    handOff.sendStart();
    // Sunday 2026-12-13, 14:05:06.789 local time.
    const QDateTime t(QDate(2026, 12, 13), QTime(14, 5, 6, 789));
    handOff.sendSamples({{10, "-20"}, {33, "1500"}}, t);
    handOff.sendSamples({{10, "not a number"}, {33, "7"}}, t.addSecs(1));

    const auto records = peers.records(pid);
    ASSERT_EQ(records.size(), 1u + 2u + 1u + 2u + 1u);
    EXPECT_EQ(records[3], QByteArray(1, '\x06'));
    const QByteArray& a = records[4];
    const QByteArray& b = records[5];
    ASSERT_EQ(a.size(), 25);
    ASSERT_EQ(b.size(), 25);
    EXPECT_EQ(a[0], '\x09');
    EXPECT_EQ(u32At(a, 1), 10u);
    EXPECT_EQ(floatAt(a, 5), -20.0f);
    EXPECT_EQ(u32At(b, 1), 33u);
    EXPECT_EQ(floatAt(b, 5), 1500.0f);
    EXPECT_EQ(a.mid(9), b.mid(9));
    EXPECT_EQ(a.mid(9),
              QByteArray("\xEA\x07\x0C\x00\x00\x00\x0D\x00\x0E\x00\x05\x00\x06\x00\x15\x03", 16));
    // A text that is not a number is left out, not sent as 0.
    EXPECT_EQ(u32At(records[6], 1), 33u);
    EXPECT_EQ(floatAt(records[6], 5), 7.0f);
}

TEST_F(TrendTest, LaterRegistrationReplacesTheTargetAndNothingGoesBeforeOne) {
    peers.setOptions("--noreg");
    handOff.sendStart();
    handOff.sendSamples({{1, "5"}}, QDateTime::currentDateTime());
    ASSERT_EQ(handOff.startViewer(), TrendHandOff::Start::Started);
    QTest::qWait(200);
    EXPECT_FALSE(handOff.hasViewer());

    peers.setOptions("");
    const pid_t first = startRegistered();
    const pid_t second = startRegistered();
    ASSERT_NE(first, second);
    handOff.sendSamples({{1, "5"}}, QDateTime::currentDateTime());

    const auto frames = peers.frames();
    ASSERT_EQ(frames.size(), 3u);
    for (const auto& [pid, list] : frames) {
        if (pid != first && pid != second) {
            EXPECT_EQ(list.size(), 1u) << "the silent one got only the post";
        }
    }
    EXPECT_EQ(peers.records(first).size(), 14u);
    EXPECT_EQ(peers.records(second).size(), 15u);
    EXPECT_EQ(handOff.childCount(), 3);
}

TEST_F(TrendTest, ViewerThatNeverAcknowledgesIsGoneAfterTheDeadline) {
    peers.setOptions("--mode silent");
    handOff.setAckTimeoutMs(300);
    ASSERT_EQ(handOff.startViewer(), TrendHandOff::Start::Started);
    QSignalSpy registered(&handOff, &TrendHandOff::viewerRegistered);
    ASSERT_TRUE(registered.wait(3000));
    const pid_t pid = static_cast<pid_t>(handOff.handle());
    EXPECT_FALSE(handOff.viewerAlive());
    handOff.sendStart();
    handOff.sendSamples({{1, "5"}, {2, "6"}}, QDateTime::currentDateTime());
    // Only the begin record ever reached it; the channel list stopped there.
    EXPECT_EQ(peers.records(pid).size(), 1u);
    EXPECT_TRUE(handOff.hasViewer());
    // Its input closed, it ends by itself and is reaped.
    EXPECT_TRUE(QTest::qWaitFor([&] { return handOff.childCount() == 0; }, 3000));
}

TEST_F(TrendTest, ViewerExitingMidRunEndsTheSendsWithoutSigpipe) {
    peers.setOptions("--mode exit --after 16");
    const pid_t pid = startRegistered();
    for (int cycle = 0; cycle < 5; ++cycle)
        handOff.sendSamples({{1, "1"}, {2, "2"}}, QDateTime::currentDateTime());
    EXPECT_FALSE(handOff.viewerAlive());
    EXPECT_EQ(peers.records(pid).size(), 16u);
    sigset_t pending;
    sigpending(&pending);
    EXPECT_FALSE(sigismember(&pending, SIGPIPE));
    EXPECT_TRUE(QTest::qWaitFor([&] { return handOff.childCount() == 0; }, 3000));
    EXPECT_EQ(::waitpid(pid, nullptr, WNOHANG), -1) << "reaped already";
}

TEST_F(TrendTest, WritingToAViewerWhoseInputIsClosedRaisesNoSigpipe) {
    const pid_t pid = startRegistered();
    // The viewer dies between two cycles, before the event loop noticed.
    ::kill(pid, SIGKILL);
    siginfo_t info{};
    ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT), 0);
    struct sigaction old {};
    struct sigaction fatal {};
    fatal.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &fatal, &old);
    handOff.sendSamples({{1, "1"}}, QDateTime::currentDateTime());
    sigaction(SIGPIPE, &old, nullptr);
    EXPECT_FALSE(handOff.viewerAlive());
}

TEST_F(TrendTest, ViewerOutlivesTheHandOff) {
    pid_t pid = 0;
    {
        TrendHandOff own;
        own.setProgramDir(peers.path());
        ASSERT_EQ(own.startViewer(), TrendHandOff::Start::Started);
        ASSERT_TRUE(QTest::qWaitFor([&] { return own.hasViewer(); }));
        pid = static_cast<pid_t>(own.handle());
    }
    // Not killed: the viewer sees its input end and leaves on its own.
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(TrendTest, FindingTheViewer) {
    PeerDir onPath;
    QTemporaryDir empty;
    EXPECT_EQ(TrendHandOff::findViewer(peers.path(), "/nowhere"), peers.path() + "/curvix");
    EXPECT_EQ(TrendHandOff::findViewer(empty.path(), "/nowhere:" + onPath.path().toUtf8()),
              onPath.path() + "/curvix");
    EXPECT_EQ(TrendHandOff::findViewer(peers.path(), onPath.path().toUtf8()),
              peers.path() + "/curvix");
    EXPECT_EQ(TrendHandOff::findViewer(empty.path(), empty.path().toUtf8()), QString());

    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", empty.path().toUtf8());
    handOff.setProgramDir(empty.path());
    EXPECT_EQ(handOff.startViewer(), TrendHandOff::Start::NotFound);
    qputenv("PATH", path);

    // Found beside the program but not runnable.
    QFile::setPermissions(peers.path() + "/curvix", QFile::ReadOwner | QFile::WriteOwner);
    handOff.setProgramDir(peers.path());
    EXPECT_EQ(handOff.startViewer(), TrendHandOff::Start::Failed);
    EXPECT_EQ(handOff.childCount(), 0);
}

} // namespace
