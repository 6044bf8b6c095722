// The Debian package as dpkg installs it: unpacked with dpkg-deb -x into a
// temporary root whose usr/bin is read-only, as an installed /usr/bin is to a
// user (root included: the program decides by the mode bits). The program
// found there binds the libvornlink.so of the package's private folder through
// its run path, and keeps its settings in $XDG_CONFIG_HOME, never beside itself.
#include "unpacked.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSize>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <sys/stat.h>

namespace {

using namespace release;

struct Output {
    int exitCode = -1;
    QString out, err;
};

Output run(const QString& program, const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("LD_LIBRARY_PATH"));
    p.setProcessEnvironment(env);
    p.start(program, args);
    Output o;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return o;
    }
    o.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    o.out = QString::fromUtf8(p.readAllStandardOutput());
    o.err = QString::fromUtf8(p.readAllStandardError());
    return o;
}

// Width and height from a PNG's header.
QSize pngSize(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray h = f.read(24);
    if (h.size() < 24 || !h.startsWith("\x89PNG\r\n\x1a\n")) return {};
    auto be32 = [&](int at) {
        return int((uchar(h[at]) << 24) | (uchar(h[at + 1]) << 16) | (uchar(h[at + 2]) << 8) |
                   uchar(h[at + 3]));
    };
    return QSize(be32(16), be32(20));
}

class Package : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QStandardPaths::findExecutable(QStringLiteral("dpkg-deb")).isEmpty()) return;
        dir = new QTemporaryDir;
        const Output x = run(QStringLiteral("dpkg-deb"),
                             {QStringLiteral("-x"), QStringLiteral(DEB_FILE), root()});
        unpacked = x.exitCode == 0;
        if (!unpacked) std::fprintf(stderr, "dpkg-deb -x: %s\n", qPrintable(x.err));
        ::chmod(QFile::encodeName(file("usr/bin")).constData(), 0555);
    }
    static void TearDownTestSuite() {
        if (!dir) return;
        ::chmod(QFile::encodeName(file("usr/bin")).constData(), 0755); // so it can be removed
        delete dir;
        dir = nullptr;
    }
    void SetUp() override {
        if (!dir) GTEST_SKIP() << "dpkg-deb not found: the Debian package is not tested";
        ASSERT_TRUE(QFile::exists(QStringLiteral(DEB_FILE))) << DEB_FILE;
        ASSERT_TRUE(unpacked);
    }

    static QString root() { return dir->filePath(QStringLiteral("root")); }
    static QString file(const char* path) {
        return root() + QLatin1Char('/') + QLatin1String(path);
    }

    static QTemporaryDir* dir;
    static bool unpacked;
};
QTemporaryDir* Package::dir = nullptr;
bool Package::unpacked = false;

TEST_F(Package, InstallsTheProgramsLibraryMenuEntriesIconsAndDocumentation) {
    QStringList programs{QStringLiteral("QMT584_View"), QStringLiteral("qmt584-sim")};
    if (HAS_CURVIX) programs << QStringLiteral("curvix");
    for (const QString& p : programs)
        EXPECT_TRUE(QFileInfo(root() + QStringLiteral("/usr/bin/") + p).isExecutable())
            << p.toStdString();
    const QFileInfo library(file("usr/lib/qmt584-view/libvornlink.so"));
    EXPECT_TRUE(library.isFile());
    EXPECT_FALSE(library.isExecutable()); // loaded, never run

    for (const char* path :
         {"usr/share/doc/qmt584-view/README.md", "usr/share/doc/qmt584-view/copyright",
          "usr/share/icons/hicolor/scalable/apps/qmt584-view.svg",
          "usr/share/icons/hicolor/scalable/apps/curvix.svg"})
        EXPECT_TRUE(QFileInfo(file(path)).isFile()) << path;
    for (const char* icon : {"qmt584-view", "curvix"})
        for (int size : {48, 128}) {
            const QString png = QStringLiteral("%1/usr/share/icons/hicolor/%2x%2/apps/%3.png")
                                    .arg(root())
                                    .arg(size)
                                    .arg(QLatin1String(icon));
            EXPECT_EQ(pngSize(png), QSize(size, size)) << png.toStdString();
        }
    // Manual pages and the change log compressed, as the policy asks.
    for (const char* path :
         {"usr/share/man/man1/QMT584_View.1.gz", "usr/share/man/man1/curvix.1.gz",
          "usr/share/man/man1/qmt584-sim.1.gz", "usr/share/doc/qmt584-view/changelog.gz"}) {
        QFile f(file(path));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << path;
        EXPECT_EQ(f.read(2), QByteArray("\x1f\x8b")) << path;
    }

    const struct {
        const char* path;
        const char* exec;
        const char* icon;
    } entries[] = {
        {"usr/share/applications/qmt584-view.desktop", "Exec=QMT584_View", "Icon=qmt584-view"},
        {"usr/share/applications/curvix.desktop", "Exec=curvix %f", "Icon=curvix"}};
    for (const auto& e : entries) {
        const QStringList lines = readAll(file(e.path)).split(QLatin1Char('\n'));
        EXPECT_EQ(lines.value(0), QStringLiteral("[Desktop Entry]")) << e.path;
        EXPECT_TRUE(lines.contains(QLatin1String(e.exec))) << e.path;
        EXPECT_TRUE(lines.contains(QLatin1String(e.icon))) << e.path;
    }
}

TEST_F(Package, ControlFieldsNameTheVersionAndTheRunTimeDependencies) {
    const Output f = run(QStringLiteral("dpkg-deb"),
                         {QStringLiteral("-f"), QStringLiteral(DEB_FILE), QStringLiteral("Package"),
                          QStringLiteral("Version"), QStringLiteral("Depends")});
    ASSERT_EQ(f.exitCode, 0) << f.err.toStdString();
    EXPECT_TRUE(f.out.contains(QStringLiteral("Package: qmt584-view\n")));
    EXPECT_TRUE(f.out.contains(QStringLiteral("Version: " PROJECT_VERSION "\n")));
    // From dpkg-shlibdeps, and what is loaded at run time without being linked.
    for (const char* dependency :
         {"libc6", "libqt6widgets6", "libqt6serialport6", "qt6-qpa-plugins", "libqt6svg6",
          "qt6-translations-l10n", "fonts-liberation2"})
        EXPECT_TRUE(f.out.contains(QLatin1String(dependency))) << dependency << "\n"
                                                               << f.out.toStdString();
}

TEST_F(Package, ShipsTheExporterServiceNotEnabledItsExampleAndTheMetainfo) {
    const QString unit = readAll(file("usr/lib/systemd/system/qmt584-export.service"));
    EXPECT_TRUE(unit.contains(QLatin1String("\nExecStart=/usr/bin/qmt584-cli export --config "
                                            "/etc/qmt584-export/targets.ini\n")))
        << unit.toStdString();
    // Not enabled: no maintainer script of the package touches the service.
    const Output control = run(QStringLiteral("dpkg-deb"),
                               {QStringLiteral("-I"), QStringLiteral(DEB_FILE), QStringLiteral("postinst")});
    EXPECT_FALSE(control.out.contains(QLatin1String("systemctl")) ||
                 control.out.contains(QLatin1String("deb-systemd")))
        << control.out.toStdString();
    // The example is a targets file the installed exporter accepts.
    const Output check = run(file("usr/bin/qmt584-cli"),
                             {QStringLiteral("export"), QStringLiteral("--check"), QStringLiteral("--config"),
                              file("usr/share/doc/qmt584-view/examples/targets.ini")});
    EXPECT_EQ(check.exitCode, 0) << check.err.toStdString();

    const QStringList metainfo{file("usr/share/metainfo/com.example.qmt584_view.metainfo.xml"),
                               file("usr/share/metainfo/com.example.curvix.metainfo.xml")};
    for (const QString& m : metainfo)
        EXPECT_TRUE(QFileInfo(m).isFile()) << m.toStdString();
    if (QStandardPaths::findExecutable(QStringLiteral("appstreamcli")).isEmpty()) {
        std::fprintf(stderr, "appstreamcli (package appstream) not found: metainfo not validated\n");
        return;
    }
    const Output valid =
        run(QStringLiteral("appstreamcli"), QStringList{QStringLiteral("validate"), QStringLiteral("--no-net")} + metainfo);
    EXPECT_EQ(valid.exitCode, 0) << valid.out.toStdString() << valid.err.toStdString();
}

TEST_F(Package, EachProgramGivesItsVersion) {
    QStringList programs{QStringLiteral("QMT584_View"), QStringLiteral("qmt584-sim")};
    if (HAS_CURVIX) programs << QStringLiteral("curvix");
    for (const QString& p : programs) {
        const Output o =
            run(root() + QStringLiteral("/usr/bin/") + p, {QStringLiteral("--version")});
        EXPECT_EQ(o.exitCode, 0) << p.toStdString() << o.err.toStdString();
        EXPECT_EQ(o.out, p + QStringLiteral(" " PROJECT_VERSION "\n"));
    }
}

TEST_F(Package, TheUnpackedProgramKeepsItsSettingsInTheUsersConfigurationFolder) {
    const QString home = dir->filePath(QStringLiteral("home"));
    const QString config = dir->filePath(QStringLiteral("config"));
    const QString ini = config + QStringLiteral("/QMT584_View/QMT584_View.ini");
    const QString beside = file("usr/bin/QMT584_View.ini");
    ASSERT_TRUE(QDir().mkpath(home));

    auto start = [&](QProcess& program) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
        env.insert(QStringLiteral("HOME"), home);
        env.remove(QStringLiteral("LD_LIBRARY_PATH"));
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(QDir::tempPath()); // the folder must not matter
        program.start(file("usr/bin/QMT584_View"), {});
        return program.waitForStarted(10000);
    };
    auto end = [](QProcess& program) {
        program.kill();
        program.waitForFinished(10000);
    };

    // The first start creates the file with the defaults.
    {
        QProcess program;
        ASSERT_TRUE(start(program));
        const bool created = waitFor(
            [&] { return QFile::exists(ini) || program.state() == QProcess::NotRunning; }, 20000);
        end(program);
        ASSERT_TRUE(created && QFile::exists(ini))
            << "no settings file: " << program.readAllStandardError().toStdString();
    }
    const QStringList lines = readAll(ini).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(lines, (QStringList{"[Port]", "Name=/dev/ttyS0", "Baud=19200", "Parity=2",
                                  "[Station]", "Address=1"}));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(QFileInfo(ini).path()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_FALSE(QFile::exists(beside));

    // The next start reads it: pointed at the package's own simulator, the
    // program reads the module's configuration through the package's library.
    setenv("QMT584_SIM", file("usr/bin/qmt584-sim").toLocal8Bit().constData(), 1);
    qmt::sim::SimProcess sim;
    const QString link = QString::fromStdString(sim.start({"--baud", "38400", "--parity", "odd"}));
    ASSERT_FALSE(link.isEmpty()) << sim.error();
    const QString settings =
        QStringLiteral("[Port]\nName=%1\nBaud=38400\nParity=1\n[Station]\nAddress=1\n").arg(link);
    {
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(settings.toUtf8());
    }

    QProcess program;
    ASSERT_TRUE(start(program));
    const bool read = waitForConfigRead(sim, program);
    const QString mapped = readAll(QStringLiteral("/proc/%1/maps").arg(program.processId()));
    end(program);
    sim.stop();
    unsetenv("QMT584_SIM");

    const std::string errors = program.readAllStandardError().toStdString();
    ASSERT_TRUE(read) << "no configuration read within 20 s: " << errors;
    ASSERT_GT(configReads(sim), 0) << "the program ended: " << errors;
    EXPECT_TRUE(mapped.contains(file("usr/lib/qmt584-view/libvornlink.so")))
        << "the package's library is not the one loaded";
    EXPECT_EQ(readAll(ini), settings); // read, not rewritten
    EXPECT_FALSE(QFile::exists(beside));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
