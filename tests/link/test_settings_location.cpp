// Where the settings file lives: beside the program when its folder is
// writable, otherwise in the user's configuration folder; the latter also for
// root, who may write anywhere.
#include "link/IniFile.h"
#include "link/PortSettings.h"
#include "link/Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

const QString Home = QStringLiteral("/home/engineer");

class SettingsLocation : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("bin")));
        bin = dir.filePath(QStringLiteral("bin"));
        program = bin + QStringLiteral("/QMT584_View");
    }
    void TearDown() override {
        ::chmod(QFile::encodeName(bin).constData(), 0755); // so the folder can be removed
        qmt::PortSettings = {};
    }
    QTemporaryDir dir;
    QString bin, program;
};

TEST_F(SettingsLocation, AWritableFolderKeepsTheFileBesideTheProgram) {
    EXPECT_TRUE(qmt::SettingsFolderWritable(bin));
    EXPECT_EQ(qmt::SettingsFilePathFor(program, QStringLiteral("/tmp/cfg"), Home),
              program + QStringLiteral(".ini"));
    // The process itself runs from the build folder.
    EXPECT_EQ(qmt::SettingsFilePath(), QCoreApplication::applicationFilePath() + ".ini");
}

TEST_F(SettingsLocation, AReadOnlyFolderSendsItToTheUsersConfigurationFolder) {
    // r-x for everyone, as an installed /usr/bin is to a user; root too must see it so.
    ASSERT_EQ(::chmod(QFile::encodeName(bin).constData(), 0555), 0);
    EXPECT_FALSE(qmt::SettingsFolderWritable(bin));
    const struct {
        QString xdg, expected;
    } cases[] = {
        {QStringLiteral("/tmp/cfg"), QStringLiteral("/tmp/cfg/QMT584_View/QMT584_View.ini")},
        {QStringLiteral("/tmp/cfg/"), QStringLiteral("/tmp/cfg/QMT584_View/QMT584_View.ini")},
        // Unset, empty or relative: the default under the home folder.
        {QString(), Home + QStringLiteral("/.config/QMT584_View/QMT584_View.ini")},
        {QStringLiteral("cfg"), Home + QStringLiteral("/.config/QMT584_View/QMT584_View.ini")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(qmt::SettingsFilePathFor(program, c.xdg, Home), c.expected)
            << c.xdg.toStdString();
}

TEST_F(SettingsLocation, TheSystemsProgramFoldersNeverHoldIt) {
    for (const char* folder : {"/usr/bin", "/usr/local/bin", "/bin", "/usr/bin/../bin"}) {
        EXPECT_FALSE(qmt::SettingsFolderWritable(QLatin1String(folder))) << folder;
        EXPECT_EQ(qmt::SettingsFilePathFor(QLatin1String(folder) + QStringLiteral("/QMT584_View"),
                                           QStringLiteral("/tmp/cfg"), Home),
                  QStringLiteral("/tmp/cfg/QMT584_View/QMT584_View.ini"))
            << folder;
    }
    // A folder merely named like one is not one of them.
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("usr/bin")));
    EXPECT_TRUE(qmt::SettingsFolderWritable(dir.filePath(QStringLiteral("usr/bin"))));
}

TEST_F(SettingsLocation, SavingCreatesAMissingConfigurationFolderPrivateToTheUser) {
    const QString path = dir.filePath(QStringLiteral("cfg/QMT584_View/QMT584_View.ini"));
    qmt::PortSettings = {QStringLiteral("/dev/ttyUSB1"), 9600, 0, 5};
    qmt::SavePortSettings(path);

    qmt::IniFile file(path);
    ASSERT_EQ(file.load(), qmt::IniFile::LoadStatus::Ok);
    EXPECT_EQ(file.readString(QStringLiteral("Port"), QStringLiteral("Name"), {}),
              QStringLiteral("/dev/ttyUSB1"));
    EXPECT_EQ(file.readInteger(QStringLiteral("Station"), QStringLiteral("Address"), 0), 5);
    for (const char* folder : {"cfg", "cfg/QMT584_View"}) {
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(dir.filePath(QLatin1String(folder))).constData(), &st),
                  0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
    }
}

TEST_F(SettingsLocation, TheFirstStartCreatesNoFileBesideTheProgram) {
    const QString beside = QCoreApplication::applicationFilePath() + ".ini";
    const bool existed = QFile::exists(beside);
    EXPECT_TRUE(qmt::CreateUserSettingsFile());
    EXPECT_EQ(QFile::exists(beside), existed);
}

} // namespace
