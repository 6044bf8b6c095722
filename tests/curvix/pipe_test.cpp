// The built viewer through real pipes, as the program drives it: registration,
// an answer to every copy-data message, what the window took from them, bad
// input of every kind, random frames, and the program going away.

#include "ViewerProcess.h"

#include "common/Cp1251.h"
#include "common/TrendProtocol.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>

using namespace curvix;
using curvix::test::ViewerProcess;

namespace {

const StampFields kStamp{2026, 12, 3, 9, 12, 0, 0, 0};

StampFields at(int second, int ms = 0) {
    StampFields s = kStamp;
    s.second = uint16_t(second);
    s.millisecond = uint16_t(ms);
    return s;
}

std::string cp1251(const char* utf8) {
    return qmt::toCp1251(QString::fromUtf8(utf8)).toStdString();
}

int count(const std::vector<std::string>& lines, const std::string& prefix) {
    int n = 0;
    for (const std::string& l : lines)
        n += l.compare(0, prefix.size(), prefix) == 0;
    return n;
}

class Pipes : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(viewer.start());
        token = viewer.handshake();
        ASSERT_NE(token, 0u);
    }
    ViewerProcess viewer;
    uint32_t token = 0;
};

} // namespace

TEST_F(Pipes, TheProgramsHandOffIsAnsweredAndShown) {
    ASSERT_TRUE(viewer.deliver(token, beginRecord()));
    const std::pair<int, const char*> channels[] = {
        {1, "Xs(k)1"}, {2, "Xm(k)1"},  {3, "Y(k)1"},   {8, "Xs(k)2"}, {9, "Xm(k)2"},
        {10, "Y(k)2"}, {15, "Xs(k)3"}, {16, "Xm(k)3"}, {17, "Y(k)3"}, {31, "АЦП1"},
        {32, "АЦП2"},  {33, "АЦП3"},   {34, "ЦАП"}};
    for (const auto& [id, name] : channels)
        ASSERT_TRUE(viewer.deliver(token, channelRecord(id, cp1251(name))));
    ASSERT_TRUE(viewer.deliver(token, startRecord()));
    for (int cycle = 0; cycle < 2; ++cycle) {
        ASSERT_TRUE(viewer.deliver(token, sampleRecord(10, -20.0f + cycle, at(cycle))));
        ASSERT_TRUE(viewer.deliver(token, sampleRecord(33, 1200.0f, at(cycle))));
    }
    ASSERT_TRUE(viewer.waitFor("sample 33 ") && viewer.waitFor("sample 10 "));
    ASSERT_TRUE(viewer.waitFor("start"));
    const auto lines = viewer.dumpLines();
    EXPECT_EQ(count(lines, "channel "), 13);
    EXPECT_EQ(count(lines, "channel 31 АЦП1"), 1);
    EXPECT_EQ(count(lines, "channel 34 ЦАП"), 1);
    ASSERT_TRUE(viewer.waitFor("sample 33 "));
    const auto later = viewer.dumpLines();
    const int64_t t0 =
        QDateTime(QDate(2026, 12, 9), QTime(12, 0), Qt::LocalTime).toMSecsSinceEpoch();
    EXPECT_EQ(count(later, "sample 10 " + std::to_string(t0) + " -20 Y(k)2"), 1);
    EXPECT_EQ(count(later, "sample 10 " + std::to_string(t0 + 1000) + " -19 Y(k)2"), 1);
    EXPECT_EQ(count(later, "sample 33 " + std::to_string(t0 + 1000) + " 1200 АЦП3"), 1);
}

TEST_F(Pipes, EveryThreadMessageIsAnsweredAndOtherMessagesAreNot) {
    ASSERT_TRUE(viewer.write(threadFrame(99)));
    std::string reply;
    ASSERT_TRUE(viewer.readFrame(reply));
    EXPECT_EQ(reply, registrationFrame(token).substr(4)); // the same token again

    std::string otherCode = threadFrame(1);
    otherCode[5] = 0x01; // code 0x0401
    for (const std::string& f :
         {frame("A"), frame(""), frame("X123"), otherCode, frame(std::string("P\x00\x04", 3))})
        ASSERT_TRUE(viewer.write(f));
    EXPECT_TRUE(viewer.silent(300));
    EXPECT_TRUE(viewer.deliver(token, startRecord()));
}

TEST_F(Pipes, BadRecordsAreAnsweredNamedAndSurvived) {
    std::string shortSample = sampleRecord(1, 1.0f, kStamp);
    shortSample.resize(24);
    StampFields badStamp = kStamp;
    badStamp.hour = 24;
    const std::string records[] = {
        "",                                        // nothing after the header
        std::string("\x03\x01\x00\x00", 4),        // channel cut short
        std::string("\x03\x07\x00\x00\x00OV1", 8), // name without its zero byte
        shortSample,
        sampleRecord(1, 1.0f, badStamp),
        std::string("\x63", 1),                 // unknown type
        sampleRecord(77, std::nanf(""), at(1)), // an id never announced, NaN
        sampleRecord(77, INFINITY, at(2)),
        sampleRecord(77, 5.0f, at(0)), // stamp going back
    };
    for (const std::string& r : records)
        ASSERT_TRUE(viewer.deliver(token, r));
    // Too short to carry a window handle, and addressed to another window.
    std::string reply;
    ASSERT_TRUE(viewer.write(frame("C\x01")) && viewer.readFrame(reply));
    EXPECT_EQ(reply, "A");
    ASSERT_TRUE(viewer.deliver(token + 1, sampleRecord(1, 9.0f, at(3))));

    ASSERT_TRUE(viewer.waitFor("invalid сообщение короче заголовка"));
    const auto lines = viewer.dumpLines();
    EXPECT_EQ(count(lines, "invalid "), 6);
    EXPECT_EQ(count(lines, "invalid пустая запись"), 1);
    EXPECT_EQ(count(lines, "invalid неверная метка времени"), 1);
    EXPECT_EQ(count(lines, "invalid неизвестный тип записи 99"), 1);
    EXPECT_EQ(count(lines, "channel 7 OV1"), 1);
    EXPECT_EQ(count(lines, "sample 77 "), 3);
    EXPECT_EQ(count(lines, "sample 1 "), 0); // the foreign message was not applied
    EXPECT_TRUE(viewer.alive());
    EXPECT_NE(viewer.handshake(), 0u);
}

TEST_F(Pipes, ALengthBeyond64KiBStopsReadingButNotTheViewer) {
    ASSERT_TRUE(viewer.deliver(token, channelRecord(1, "Xs(k)1")));
    std::string huge("\x01\x00\x01\x00", 4); // 65537
    huge += "C";
    ASSERT_TRUE(viewer.write(huge));
    EXPECT_TRUE(viewer.silent(300));
    ASSERT_TRUE(viewer.waitFor("ended Приём остановлен: длина сообщения 65537 байт"));
    EXPECT_TRUE(viewer.alive());
    // The viewer closed its input: the sender learns at once instead of filling the pipe.
    bool refused = false;
    for (int i = 0; i < 20 && !refused; ++i)
        refused = !viewer.write(copyDataFrame(token, startRecord()));
    EXPECT_TRUE(refused);
    EXPECT_TRUE(viewer.alive());
}

TEST_F(Pipes, EndOfInputLeavesTheWindowAndItsCurves) {
    ASSERT_TRUE(viewer.deliver(token, channelRecord(3, "Y(k)1")));
    ASSERT_TRUE(viewer.deliver(token, sampleRecord(3, 1.0f, at(0))));
    // A frame cut off by the program's exit.
    ASSERT_TRUE(viewer.write(copyDataFrame(token, sampleRecord(3, 2.0f, at(1))).substr(0, 10)));
    viewer.closeInput();
    ASSERT_TRUE(viewer.waitFor("ended Источник отключён (последнее сообщение оборвано)"));
    usleep(200 * 1000);
    EXPECT_TRUE(viewer.alive());
    EXPECT_EQ(count(viewer.dumpLines(), "sample 3 "), 1);
}

TEST_F(Pipes, AProgramThatStopsReadingAnswersDoesNotEndTheViewer) {
    viewer.closeOutput();
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(viewer.write(copyDataFrame(token, sampleRecord(1, float(i), at(i % 60)))));
    ASSERT_TRUE(viewer.waitFor("sample 1 "));
    usleep(200 * 1000);
    EXPECT_TRUE(viewer.alive()); // no SIGPIPE
}

TEST_F(Pipes, AnswersStuckFor2sEndTheSourceAndNotTheViewer) {
    // The program sends on but never reads an answer: once the answer pipe is
    // full the viewer waits 2 s, then stops reading, and the sender is refused.
    bool refused = false;
    for (int i = 0; i < 200'000 && !refused; ++i)
        refused = !viewer.write(copyDataFrame(token, beginRecord()));
    EXPECT_TRUE(refused);
    ASSERT_TRUE(viewer.waitFor("ended Источник отключён: ответ не уходит 2 с"));
    EXPECT_TRUE(viewer.alive());
}

TEST_F(Pipes, AnswersReadLateAreAllThere) {
    // A full answer pipe is waited for, not taken for a program that has gone.
    constexpr int kMessages = 30'000; // more answers than the pipe holds
    std::thread sender([&] {
        for (int i = 0; i < kMessages; ++i)
            if (!viewer.write(copyDataFrame(token, beginRecord()))) return;
    });
    usleep(800 * 1000);
    int answers = 0;
    std::string reply;
    while (answers < kMessages && viewer.readFrame(reply) && reply == "A")
        ++answers;
    sender.join();
    EXPECT_EQ(answers, kMessages);
    EXPECT_TRUE(viewer.deliver(token, startRecord()));
    EXPECT_FALSE(viewer.waitFor("ended ", 100));
}

TEST_F(Pipes, StandardOutputIsNotTheProtocolPipe) {
    // Whatever a library prints goes to stderr, never into a frame.
    auto target = [&](int fd) {
        char link[256] = {};
        const std::string path =
            "/proc/" + std::to_string(viewer.pid()) + "/fd/" + std::to_string(fd);
        const ssize_t n = ::readlink(path.c_str(), link, sizeof link - 1);
        return n > 0 ? std::string(link, std::size_t(n)) : std::string();
    };
    ASSERT_FALSE(target(2).empty());
    EXPECT_EQ(target(1), target(2));
    EXPECT_TRUE(viewer.deliver(token, startRecord())); // the answers still come
}

TEST_F(Pipes, RandomFramesForSecondsLeaveItAnswering) {
    std::mt19937 random(2026);
    int copyData = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (std::chrono::steady_clock::now() < end) {
        std::string payload;
        switch (random() % 4) {
        case 0: { // a plausible record with random damage
            const std::string records[] = {
                beginRecord(), startRecord(), channelRecord(int32_t(random() % 50), "Y(k)3"),
                sampleRecord(int32_t(random() % 50), float(random()), at(random() % 60))};
            std::string r = records[random() % 4];
            if (random() % 2 && !r.empty()) r[random() % r.size()] = char(random());
            if (random() % 3 == 0) r.resize(random() % (r.size() + 1));
            payload = "C" + copyDataFrame(token, r).substr(5);
            break;
        }
        case 1: // random bytes after the copy-data type
            payload = "C" + std::string(random() % 40, '\0');
            for (std::size_t i = 1; i < payload.size(); ++i)
                payload[i] = char(random());
            break;
        case 2: // random bytes of any kind, never the thread message
            payload = std::string(random() % 40, '\0');
            for (char& c : payload)
                c = char(random());
            if (!payload.empty() && (payload[0] == 'C' || payload[0] == 'P')) payload[0] = 'Q';
            break;
        default: // a near thread message
            payload = "P" + std::string(random() % 12, '\x04');
            break;
        }
        ASSERT_TRUE(viewer.write(frame(payload)));
        const Message m = parseMessage(payload);
        if (m.kind == MessageKind::CopyData) {
            std::string reply;
            ASSERT_TRUE(viewer.readFrame(reply)) << "no answer to copy-data #" << copyData;
            ASSERT_EQ(reply, "A");
            ++copyData;
        } else if (m.kind == MessageKind::Thread) {
            std::string reply;
            ASSERT_TRUE(viewer.readFrame(reply));
        }
    }
    EXPECT_GT(copyData, 1000);
    EXPECT_TRUE(viewer.alive());
    EXPECT_TRUE(viewer.deliver(token, startRecord()));
}

TEST(ValueLogArgument, OpensTheLogWithoutReadingThePipe) {
    char path[] = "/tmp/curvix-log-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    const std::string log = "  " + cp1251("Время") +
                            "       OV1\r\n     0,00        1\r\nbroken\r\n     1,00        0\r\n";
    ASSERT_EQ(::write(fd, log.data(), log.size()), ssize_t(log.size()));
    ::close(fd);
    ViewerProcess viewer;
    ASSERT_TRUE(viewer.start({path}));
    EXPECT_TRUE(viewer.waitFor("log 1 channels, 2 lines, 1 skipped"));
    EXPECT_TRUE(viewer.silent(100));
    ::unlink(path);
}
