// The hint after "Невозможно открыть": named only when the user lacks the
// permission on the device and joining its group would give it.
//
// Root may open anything, so the cases of a missing permission run in a child
// process that first becomes the unprivileged user "nobody".
#include "FakeModule.h"
#include "FakeUi.h"
#include "link/PortAccess.h"
#include "link/PortSettings.h"
#include "link/RegisterAccess.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using qmt::test::FakeModule;
using qmt::test::FakePrompts;

const QString Hint = QStringLiteral("Нет прав на чтение и запись порта: он принадлежит группе %1.\n"
                                    "Добавьте себя в группу и войдите в систему заново:\n"
                                    "sudo usermod -aG %1 $USER");

class PortAccess : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        // "nobody" must reach the device through the folder.
        ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
        module.initCommResult = 11;
    }
    void TearDown() override { qmt::PortSettings = {}; }

    // A device stand-in with the given mode; as root it belongs to root and `gid`.
    QString device(const char* name, mode_t mode, gid_t gid) {
        const QString path = dir.filePath(QLatin1String(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.close();
        const QByteArray p = QFile::encodeName(path);
        if (::geteuid() == 0) {
            EXPECT_EQ(::chown(p.constData(), 0, gid), 0);
        }
        EXPECT_EQ(::chmod(p.constData(), mode), 0);
        return path;
    }

    // The text OpenPort shows for the port, as an unprivileged user sees it.
    QString messageAsUser(const QString& port) {
        const QByteArray out = QFile::encodeName(dir.filePath(QStringLiteral("message.txt")));
        EXPECT_EXIT(
            {
                const int fd = ::open(out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
                if (::geteuid() == 0 &&
                    (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
                    std::_Exit(3);
                qmt::OpenPort(port, 19200, 2);
                const QByteArray text = prompts.lastText().toUtf8();
                std::_Exit(::write(fd, text.constData(), text.size()) == text.size() ? 0 : 4);
            },
            ::testing::ExitedWithCode(0), "");
        QFile f(QFile::decodeName(out));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    // A group other than root's for the device; as another user, the user's own.
    static gid_t deviceGroup() {
        if (::geteuid() != 0) return ::getegid();
        const struct group* dialout = ::getgrnam("dialout");
        return dialout ? dialout->gr_gid : 20;
    }
    static QString groupName(gid_t gid) {
        const struct group* g = ::getgrgid(gid);
        return g ? QString::fromLocal8Bit(g->gr_name) : QString::number(gid);
    }

    QTemporaryDir dir;
    FakeModule module;
    FakePrompts prompts;
};

TEST_F(PortAccess, ALackingPermissionNamesTheDevicesGroupAndHowToJoinIt) {
    const gid_t gid = deviceGroup();
    if (gid == 0) GTEST_SKIP() << "the user's own group is root's; no group to name";
    // Owner and group may read and write, others not: the serial ports' usual mode.
    // As the user that owns it, the owner bits (none) decide.
    const QString port = device("ttyUSB0", ::geteuid() == 0 ? 0660 : 0060, gid);
    EXPECT_EQ(messageAsUser(port), QStringLiteral("Невозможно открыть ") + port +
                                       QLatin1Char('\n') + Hint.arg(groupName(gid)));
}

TEST_F(PortAccess, NoHintWhereJoiningTheGroupWouldNotHelp) {
    const gid_t gid = deviceGroup();
    // The group may not write: joining it gives nothing.
    const QString readOnly = device("ttyS4", ::geteuid() == 0 ? 0640 : 0040, gid);
    EXPECT_EQ(messageAsUser(readOnly), QStringLiteral("Невозможно открыть ") + readOnly);
    // Root's group is no advice.
    if (::geteuid() == 0) {
        const QString rootOnly = device("ttyS5", 0660, 0);
        EXPECT_EQ(messageAsUser(rootOnly), QStringLiteral("Невозможно открыть ") + rootOnly);
    }
}

TEST_F(PortAccess, NoHintWhenTheFailureHasAnotherCause) {
    const QString mine = dir.filePath(QStringLiteral("ttyACM0"));
    QFile f(mine);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    const struct {
        QString port;
        const char* why;
    } cases[] = {
        {dir.filePath(QStringLiteral("ttyUSB9")), "missing device"},
        {mine, "the user may open it (held by another process, not a terminal)"},
        {QStringLiteral("tcp://127.0.0.1:502"), "network port"},
        {QString(), "no name"},
    };
    for (const auto& c : cases) {
        prompts.shown.clear();
        EXPECT_FALSE(qmt::OpenPort(c.port, 19200, 2)) << c.why;
        EXPECT_EQ(prompts.lastText(), QStringLiteral("Невозможно открыть ") + c.port) << c.why;
        EXPECT_TRUE(qmt::PortAccessHint(c.port).isEmpty()) << c.why;
    }
}

} // namespace
