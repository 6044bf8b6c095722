// The live source in process: ending it on request, as closing the live
// window does, closes both pipe ends so that the program sees the viewer gone.

#include "TryExpect.h"
#include "ui/LiveSource.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

using namespace curvix;

namespace {

// Reads one frame's payload within a second; empty at end or time-out.
std::string readFrame(int fd) {
    std::string bytes;
    for (;;) {
        if (bytes.size() >= 4) {
            uint32_t n = 0;
            std::memcpy(&n, bytes.data(), 4);
            if (bytes.size() >= 4 + n) return bytes.substr(4, n);
        }
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 1000) <= 0) return {};
        char buffer[256];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0) return {};
        bytes.append(buffer, std::size_t(got));
    }
}

} // namespace

TEST(LiveSource, StopOnRequestClosesBothEndsOnce) {
    std::signal(SIGPIPE, SIG_IGN);
    int toViewer[2], fromViewer[2];
    ASSERT_EQ(::pipe2(toViewer, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(fromViewer, O_CLOEXEC), 0);
    auto* source = new LiveSource;
    QSignalSpy ended(source, &LiveSource::ended);
    source->start(toViewer[0], fromViewer[1]);
    EXPECT_TRUE(source->running());

    const std::string hello = threadFrame(7);
    ASSERT_EQ(::write(toViewer[1], hello.data(), hello.size()), ssize_t(hello.size()));
    EXPECT_EQ(readFrame(fromViewer[0]), registrationFrame(source->token()).substr(4));

    source->stop(QStringLiteral("Окно закрыто"));
    EXPECT_FALSE(source->running());
    ASSERT_EQ(ended.count(), 1);
    EXPECT_EQ(ended.at(0).at(0).toString(), QStringLiteral("Окно закрыто"));
    // The program's next message is refused and its wait for an answer ends.
    const std::string message = copyDataFrame(source->token(), startRecord());
    EXPECT_LT(::write(toViewer[1], message.data(), message.size()), 0);
    EXPECT_EQ(errno, EPIPE);
    char byte;
    EXPECT_EQ(::read(fromViewer[0], &byte, 1), 0);

    source->stop();
    QTest::qWait(50);
    EXPECT_EQ(ended.count(), 1); // once only
    delete source;
    ::close(toViewer[1]);
    ::close(fromViewer[0]);
}

TEST(LiveSource, StopAfterTheProgramWentSaysNothingMore) {
    int toViewer[2], fromViewer[2];
    ASSERT_EQ(::pipe2(toViewer, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(fromViewer, O_CLOEXEC), 0);
    LiveSource source;
    QSignalSpy ended(&source, &LiveSource::ended);
    source.start(toViewer[0], fromViewer[1]);
    ::close(toViewer[1]); // the program exits
    QMT_TRY_ASSERT_EQ(ended.count(), 1);
    EXPECT_FALSE(source.running());
    source.stop();
    EXPECT_EQ(ended.count(), 1);
    ::close(fromViewer[0]);
}
