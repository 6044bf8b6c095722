// The bundle as a user gets it: unpacked into a folder of its own, nothing of
// the build tree on any search path. The program found there binds the
// libvornlink.so beside it, reads its settings file beside it, and the link
// supervision reads the configuration of the bundle's own simulator.
#include "unpacked.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using namespace release;

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QString::fromLocal8Bit(p.readAllStandardError()) + QStringLiteral(" (failed)");
    return {};
}

class Bundle : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QFile::exists(QStringLiteral(BUNDLE_FILE))) << BUNDLE_FILE;
        ASSERT_EQ(run(QStringLiteral("tar"), {QStringLiteral("-xzf"), QStringLiteral(BUNDLE_FILE),
                                              QStringLiteral("-C"), dir.path()}),
                  QString());
        top = dir.filePath(QStringLiteral(BUNDLE_TOP));
    }
    QString file(const char* name) const { return top + QLatin1Char('/') + QLatin1String(name); }

    QTemporaryDir dir;
    QString top;
};

TEST_F(Bundle, HoldsEverythingFlatInOneFolder) {
    for (const char* name : {"QMT584_View", "qmt584-sim", "install-menu-entry"})
        EXPECT_TRUE(QFileInfo(file(name)).isExecutable()) << name;
    if (BUNDLE_HAS_CURVIX) {
        EXPECT_TRUE(QFileInfo(file("curvix")).isExecutable());
    }
    for (const char* name :
         {"libvornlink.so", "qmt584-view.desktop", "qmt584-view.svg", "README.md"})
        EXPECT_TRUE(QFileInfo(file(name)).isFile()) << name;

    QFile desktop(file("qmt584-view.desktop"));
    ASSERT_TRUE(desktop.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(desktop.readAll()).split(QLatin1Char('\n'));
    EXPECT_EQ(lines.value(0), QStringLiteral("[Desktop Entry]"));
    for (const char* line : {"Type=Application", "Exec=QMT584_View", "Icon=qmt584-view"})
        EXPECT_TRUE(lines.contains(QLatin1String(line))) << line;
}

TEST_F(Bundle, TheMenuEntryPointsAtTheUnpackedProgram) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
    p.setProcessEnvironment(env);
    p.start(file("install-menu-entry"), {});
    ASSERT_TRUE(p.waitForFinished(30000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();

    QFile entry(dir.filePath(QStringLiteral("data/applications/qmt584-view.desktop")));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("Exec=\"%1\"\n").arg(file("QMT584_View"))))
        << text.toStdString();
    EXPECT_TRUE(QFile::exists(
        dir.filePath(QStringLiteral("data/icons/hicolor/scalable/apps/qmt584-view.svg"))));
}

TEST_F(Bundle, TheUnpackedProgramFindsItsLibraryAndReadsTheConfiguration) {
    // The bundle's simulator, not the build tree's.
    setenv("QMT584_SIM", file("qmt584-sim").toLocal8Bit().constData(), 1);
    qmt::sim::SimProcess sim;
    const QString link = QString::fromStdString(sim.start({"--baud", "38400", "--parity", "odd"}));
    ASSERT_FALSE(link.isEmpty()) << sim.error();

    QFile ini(file("QMT584_View.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("[Port]\nName=%1\nBaud=38400\nParity=1\n[Station]\nAddress=1\n")
                  .arg(link)
                  .toUtf8());
    ini.close();

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QStringLiteral("LD_LIBRARY_PATH"));
#if BUNDLE_SANITIZED
    // The sanitizer's dlopen wrapper becomes the caller, so the program's own
    // $ORIGIN run path is not searched; a release build needs nothing of this.
    env.insert(QStringLiteral("LD_LIBRARY_PATH"), top);
#endif
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(QDir::tempPath()); // the folder must not matter
    program.start(file("QMT584_View"), {});
    ASSERT_TRUE(program.waitForStarted(10000));

    const bool read = waitForConfigRead(sim, program);
    const QString mapped = readAll(QStringLiteral("/proc/%1/maps").arg(program.processId()));

    program.kill();
    program.waitForFinished(10000);
    sim.stop();
    unsetenv("QMT584_SIM");

    const std::string errors = program.readAllStandardError().toStdString();
    ASSERT_TRUE(read) << "no configuration read within 20 s: " << errors;
    ASSERT_GT(configReads(sim), 0) << "the program ended: " << errors;
    EXPECT_TRUE(mapped.contains(file("libvornlink.so")))
        << "the library beside the program is not the one loaded";
    EXPECT_TRUE(QFile::exists(file("QMT584_View.ini")));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
