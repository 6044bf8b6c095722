// The settings file: defaults, what loading reads, and the profile-file rules
// the program's files rely on.
#include "FakeModule.h"
#include "FakeUi.h"
#include "link/Errors.h"
#include "link/IniFile.h"
#include "link/PortSettings.h"
#include "link/RegisterAccess.h"
#include "link/Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <tuple>
#include <sys/resource.h>

namespace {

QString readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

void writeAll(const QString& path, const QString& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.toUtf8());
}

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("QMT584_View.ini"));
        // Something else than the defaults, to see that loading overwrites all of it.
        qmt::PortSettings = {QStringLiteral("/dev/pts/9"), 4800, 0, 99};
    }
    void TearDown() override { qmt::PortSettings = {}; }
    QTemporaryDir dir;
    QString path;
};

TEST_F(SettingsFile, SitsBesideTheExecutableWithIniAppended) {
    EXPECT_EQ(qmt::SettingsFilePath(), QCoreApplication::applicationFilePath() + ".ini");
    qmt::setSettingsFilePath(path);
    EXPECT_EQ(qmt::SettingsFilePath(), path);
    qmt::setSettingsFilePath(QString());
    EXPECT_EQ(qmt::SettingsFilePath(), QCoreApplication::applicationFilePath() + ".ini");
}

TEST_F(SettingsFile, MissingFileGivesDefaultsAndIsNotCreated) {
    qmt::LoadPortSettings(path);
    EXPECT_EQ(qmt::PortSettings.portName, QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(qmt::PortSettings.baud, 19200);
    EXPECT_EQ(qmt::PortSettings.parity, 2);
    EXPECT_EQ(qmt::PortSettings.address, 1);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

TEST_F(SettingsFile, LoadingReadsEachKeyAndFallsBackPerKey) {
    writeAll(path, "[port]\nNAME=/dev/ttyUSB0\nbaud=14400\nParity=258\n"
                   "[Station]\nAddress=300\n");
    qmt::LoadPortSettings(path);
    EXPECT_EQ(qmt::PortSettings.portName, QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(qmt::PortSettings.baud, 14400);
    EXPECT_EQ(qmt::PortSettings.parity, 2);   // low 8 bits of 258
    EXPECT_EQ(qmt::PortSettings.address, 44); // low 8 bits of 300

    writeAll(path, "[Port]\nBaud=fast\nParity=\n[Station]\nAddress=1x\n");
    qmt::LoadPortSettings(path);
    EXPECT_EQ(qmt::PortSettings.portName, QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(qmt::PortSettings.baud, 19200);
    EXPECT_EQ(qmt::PortSettings.parity, 2);
    EXPECT_EQ(qmt::PortSettings.address, 1);
}

TEST_F(SettingsFile, AHandWrittenRateOpensAsWritten) {
    writeAll(path, "[Port]\nName=/dev/ttyUSB1\nBaud=14400\nParity=1\n");
    qmt::test::FakeModule module;
    qmt::test::FakePrompts prompts;
    // What the main window does with the file at start.
    qmt::LoadPortSettings(path);
    EXPECT_TRUE(qmt::OpenPort(qmt::PortSettings.portName, qmt::PortSettings.baud,
                              qmt::PortSettings.parity));
    ASSERT_EQ(module.opens.size(), 1u);
    EXPECT_EQ(module.opens[0].port, "/dev/ttyUSB1");
    EXPECT_EQ(module.opens[0].baud, 14400u);
    EXPECT_EQ(module.opens[0].parity, 1);
}

TEST_F(SettingsFile, SavingUpdatesTheFourKeysAndKeepsEverythingElse) {
    writeAll(path, "; settings\n[Station]\nAddress=5\nComment=keep\n\n[Other]\nx=1\n");
    qmt::PortSettings = {QStringLiteral("/dev/ttyACM0"), 57600, 1, 17};
    qmt::SavePortSettings(path);
    EXPECT_EQ(readAll(path), QStringLiteral("; settings\n[Station]\nAddress=17\nComment=keep\n\n"
                                            "[Other]\nx=1\n[Port]\nName=/dev/ttyACM0\n"
                                            "Baud=57600\nParity=1\n"));
    // A new file holds the keys in their order.
    const QString fresh = dir.filePath(QStringLiteral("fresh.ini"));
    qmt::SavePortSettings(fresh);
    EXPECT_EQ(readAll(fresh), QStringLiteral("[Port]\nName=/dev/ttyACM0\nBaud=57600\nParity=1\n"
                                             "[Station]\nAddress=17\n"));
}

TEST_F(SettingsFile, ProfileRules) {
    writeAll(path, "# head\r\n[Port]\r\nname = a\r\n; note\r\nBaud=1\r\n\r\n[Tail]\r\nk=v\r\n");
    qmt::IniFile ini(path);
    ASSERT_EQ(ini.load(), qmt::IniFile::LoadStatus::Ok);
    EXPECT_EQ(ini.readString("PORT", "NAME", "-"), QStringLiteral("a"));
    EXPECT_EQ(ini.readString("Port", "Missing", "-"), QStringLiteral("-"));
    EXPECT_EQ(ini.readString("Nowhere", "Name", "-"), QStringLiteral("-"));
    EXPECT_EQ(ini.readInteger("Port", "Baud", 7), 1);
    EXPECT_EQ(ini.readInteger("Port", "Name", 7), 7);
    ini.writeString("port", "NAME", "b");  // in place, under the existing spelling's line
    ini.writeInteger("Port", "Parity", 2); // after the section's last line, before the blank
    ini.writeString("New", "k", "v");      // a new section at the end
    ASSERT_TRUE(ini.save());
    // Line ends of the file are kept too.
    EXPECT_EQ(readAll(path),
              QStringLiteral("# head\r\n[Port]\r\nNAME=b\r\n; note\r\nBaud=1\r\nParity=2\r\n\r\n"
                             "[Tail]\r\nk=v\r\n[New]\r\nk=v\r\n"));

    // A comment in another code page (not UTF-8) keeps its bytes; hex needs ASCII digits.
    const QByteArray cp1251 = "; \xcd\xe0\xf1\xee\xf1 4\n[Port]\nBaud=0x\xe9\n";
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(cp1251);
    }
    ASSERT_EQ(ini.load(), qmt::IniFile::LoadStatus::Ok);
    EXPECT_EQ(ini.readInteger("Port", "Baud", 7), 7);
    ini.writeInteger("Port", "Parity", 1);
    ASSERT_TRUE(ini.save());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), cp1251 + "Parity=1\n");
}

// Lines inserted into one section move the sections below; every later lookup
// and write must still land in the right one.
TEST(IniFileEdits, InsertsMoveTheSectionsBelow) {
    qmt::IniFile ini(QString{});
    ini.loadData("[A]\na=1\n\n[B]\nb=1\n[C]\n");
    for (int i = 0; i < 3; ++i)
        ini.writeInteger("A", QStringLiteral("n%1").arg(i), i);
    ini.writeInteger("C", "c", 3);
    ini.writeInteger("B", "b", 2);
    ini.writeInteger("B", "x", 9);
    ini.writeInteger("D", "d", 4);
    ini.writeInteger("C", "e", 5);
    EXPECT_EQ(ini.data(), QByteArray("[A]\na=1\nn0=0\nn1=1\nn2=2\n\n[B]\nb=2\nx=9\n"
                                     "[C]\nc=3\ne=5\n[D]\nd=4\n"));
    EXPECT_EQ(ini.readInteger("c", "E", 0), 5);
    EXPECT_EQ(ini.readInteger("D", "d", 0), 4);

    // A written line that reads as a header opens a section, as it will when read again.
    ini.writeString("B", "[Z", "]");
    ini.writeInteger("Z=", "w", 6);
    ini.writeInteger("B", "y", 7);
    qmt::IniFile again(QString{});
    again.loadData(ini.data());
    for (const auto& [section, key, value] :
         {std::tuple{"B", "x", 9}, {"B", "y", 7}, {"Z=", "w", 6}, {"C", "e", 5}}) {
        EXPECT_EQ(ini.readInteger(section, key, 0), value) << section << " " << key;
        EXPECT_EQ(again.readInteger(section, key, 0), value) << section << " " << key;
    }
}

TEST_F(SettingsFile, AFailedSaveLeavesTheOldFileWhole) {
    const QString before = QStringLiteral("[Port]\nName=/dev/ttyS1\n");
    writeAll(path, before);
    qmt::IniFile ini(path);
    ASSERT_EQ(ini.load(), qmt::IniFile::LoadStatus::Ok);
    ini.writeString("Port", "Name", QString(64 * 1024, QLatin1Char('x')));

    // The file-size limit holds even for root: the new content cannot be written.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved_ok = ini.save();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved_ok);
    EXPECT_EQ(readAll(path), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"QMT584_View.ini"});

    // Through SavePortSettings the failure is an error the user sees.
    qmt::PortSettings.portName = QString(64 * 1024, QLatin1Char('y'));
    std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    bool threw = false;
    try {
        qmt::SavePortSettings(path);
    } catch (const qmt::Exception& e) {
        threw = e.message().startsWith(QStringLiteral("Unable to write to "));
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(threw);
    EXPECT_EQ(readAll(path), before);
}

} // namespace
