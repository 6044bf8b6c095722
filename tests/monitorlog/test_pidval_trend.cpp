// The trend hand-off of the values window: the channels it offers, start and
// sample records at their steps, the error messages, and a viewer that stops
// answering in the middle of a logged run.
#include "PeerDir.h"
#include "PidValFixture.h"

#include "monitor/TPidValLog.h"
#include "monitor/TrendHandOff.h"

#include <QTest>

#include <csignal>
#include <cstring>

namespace {

using qmt::MsgIcon;
using qmt::TrendHandOff;
using qmt::test::PeerDir;
using qmt::test::u32At;

float floatAt(const QByteArray& b, int offset) {
    const std::uint32_t bits = u32At(b, offset);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

class TrendWindowTest : public qmt::test::PidValTest {
protected:
    void SetUp() override {
        PidValTest::SetUp();
        TrendOf(*window).setProgramDir(peers.path());
    }
    // Checks "Вести тренды" and waits for the new viewer's registration.
    pid_t startViewer() {
        const std::uint32_t before = TrendOf(*window).handle();
        window->chbTrend->userClick();
        EXPECT_TRUE(window->chbTrend->checked());
        EXPECT_TRUE(QTest::qWaitFor([&] { return TrendOf(*window).handle() != before; }));
        return static_cast<pid_t>(TrendOf(*window).handle());
    }
    std::vector<int> types(pid_t pid) const {
        std::vector<int> out;
        for (const QByteArray& r : peers.records(pid))
            out.push_back(r[0]);
        return out;
    }

    PeerDir peers;
};

TEST_F(TrendWindowTest, RegistrationOffersTheSelectedValueChannelsInIdOrder) {
    window->sgSTATESelectCell(2, 1); // Xm(k)1 out
    window->sgSTATESelectCell(1, 5); // Dmin2: a state row, never offered anyway
    const pid_t pid = startViewer();
    EXPECT_EQ(clock.sleeps, std::vector<int>{500});
    const auto records = peers.records(pid);
    std::vector<std::int32_t> ids;
    for (std::size_t i = 1; i < records.size(); ++i)
        ids.push_back(static_cast<std::int32_t>(u32At(records[i], 1)));
    EXPECT_EQ(ids, (std::vector<std::int32_t>{1, 2, 3, 9, 10, 15, 16, 17, 31, 32, 33, 34}));
    EXPECT_EQ(records.back(), QByteArray("\x03\x22\x00\x00\x00\xD6\xC0\xCF\x00", 9));
    EXPECT_EQ(records[3], QByteArray("\x03\x03\x00\x00\x00Y(k)1\x00", 11));
}

TEST_F(TrendWindowTest, StartBeforeTheFirstCycleThenSamplesOfTheSelectedCells) {
    selectOnly({10, 33});
    module.setReg(1050, 0xFFEC); // Y(k)2 = -20
    const pid_t pid = startViewer();
    window->chbUpdate->userClick();
    EXPECT_EQ(types(pid), (std::vector<int>{2, 3, 3, 6}));
    clock.current = QDateTime(QDate(2026, 12, 13), QTime(9, 30, 15, 250));
    ASSERT_TRUE(tick(0));
    const auto records = peers.records(pid);
    ASSERT_EQ(records.size(), 6u);
    const QByteArray& y2 = records[4];
    const QByteArray& adc3 = records[5];
    ASSERT_EQ(y2.size(), 25);
    EXPECT_EQ(u32At(y2, 1), 10u);
    EXPECT_EQ(floatAt(y2, 5), -20.0f);
    EXPECT_EQ(u32At(adc3, 1), 33u);
    EXPECT_EQ(floatAt(adc3, 5), static_cast<float>(static_cast<int16_t>(module.reg(1026))));
    EXPECT_EQ(y2.mid(9), adc3.mid(9));
    EXPECT_EQ(y2.mid(9, 8), QByteArray("\xEA\x07\x0C\x00\x00\x00\x0D\x00", 8));

    // "Обновить" alone sends nothing, nor does unchecking the box, nor a
    // cycle after it.
    window->chbUpdate->userClick();
    ASSERT_TRUE(tick(0));
    window->chbUpdate->userClick();
    window->chbTrend->userClick();
    ASSERT_TRUE(tick(1000));
    EXPECT_EQ(peers.records(pid).size(), 6u + 1u) << "only the second start record";
}

TEST_F(TrendWindowTest, SecondCheckStartsAnotherViewerThatTakesOver) {
    selectOnly({1});
    const pid_t first = startViewer();
    window->chbTrend->userClick();
    const pid_t second = startViewer();
    ASSERT_NE(first, second);
    window->chbUpdate->userClick();
    ASSERT_TRUE(tick(1000));
    EXPECT_EQ(types(first), (std::vector<int>{2, 3}));
    EXPECT_EQ(types(second), (std::vector<int>{2, 3, 6, 9}));

    // A registration counts even when the box was unchecked before it came.
    window->chbUpdate->userClick();
    window->chbTrend->userClick();
    window->chbTrend->userClick();
    window->chbTrend->userClick();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return TrendOf(*window).handle() != std::uint32_t(second); }));
    EXPECT_EQ(types(static_cast<pid_t>(TrendOf(*window).handle())), (std::vector<int>{2, 3}));
}

// The box stands for the viewer started last: closing that one from its own
// window unchecks it, closing an older one does not.
TEST_F(TrendWindowTest, BoxFollowsTheViewerStartedLast) {
    const pid_t first = startViewer();
    window->chbTrend->userClick();
    const pid_t second = startViewer();
    ASSERT_EQ(::kill(first, SIGTERM), 0);
    QTest::qWait(100);
    EXPECT_TRUE(window->chbTrend->checked());
    ASSERT_EQ(::kill(second, SIGTERM), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window->chbTrend->checked(); }));
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(TrendWindowTest, ViewerMissingOrNotStartable) {
    QTemporaryDir empty;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", empty.path().toUtf8());
    TrendOf(*window).setProgramDir(empty.path());
    window->chbTrend->userClick();
    qputenv("PATH", path);
    EXPECT_FALSE(window->chbTrend->checked());

    QFile::setPermissions(peers.path() + "/curvix", QFile::ReadOwner | QFile::WriteOwner);
    TrendOf(*window).setProgramDir(peers.path());
    window->chbTrend->userClick();
    EXPECT_FALSE(window->chbTrend->checked());

    ASSERT_EQ(prompts.shown.size(), 2u);
    EXPECT_EQ(prompts.shown[0].text, QString::fromUtf8("CURVIX не зарегистрирован!"));
    EXPECT_EQ(prompts.shown[1].text, QString::fromUtf8("Не удается запустить CURVIX!"));
    for (const auto& box : prompts.shown) {
        EXPECT_EQ(box.caption, QString::fromUtf8("Ошибка!"));
        EXPECT_EQ(box.icon, MsgIcon::Error);
    }
    EXPECT_FALSE(TrendOf(*window).hasViewer());
}

TEST_F(TrendWindowTest, ViewerThatStopsAnsweringNeverStopsTheLog) {
    peers.setOptions("--mode exit --after 3");
    selectOnly({1, 2});
    const pid_t pid = startViewer(); // begin and two channels acknowledged, then it leaves
    const QString log = file("trend.log");
    window->edLog->setText(log);
    window->chbLog->userClick();
    window->chbUpdate->userClick();
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(tick(1000));
    EXPECT_EQ(contents(log).count('\n'), 4);
    EXPECT_TRUE(window->chbUpdate->checked());
    EXPECT_EQ(types(pid), (std::vector<int>{2, 3, 3}));
    EXPECT_FALSE(TrendOf(*window).viewerAlive());
    EXPECT_TRUE(prompts.shown.empty());
}

} // namespace
