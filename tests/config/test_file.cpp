// .pid files: the text forms in two locales, defaults, foreign lines, the
// dialogs, and the two failures that must not lose data.
#include "PidConfFixture.h"

#include "link/RegisterMap.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLocale>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace qmt::test {
namespace {

QString readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

void writeAll(const QString& path, const QByteArray& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

class PidFileTest : public PidConfTest {
protected:
    void TearDown() override {
        QLocale::setDefault(QLocale::c());
        PidConfTest::TearDown();
    }
    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }
    void open(const QString& file) {
        prompts.openAnswers.push_back(file);
        run("miFileOpen");
    }
    void saveAs(const QString& file) {
        prompts.saveAnswers.push_back(file);
        run("miFileSaveAs");
    }
    // Through the menu, so failures reach the error display.
    void run(const char* action) {
        auto* a = window->findChild<QAction*>(QLatin1String(action));
        ASSERT_NE(a, nullptr) << action;
        a->trigger();
    }
    uint16_t& pidWord(int n, int w) { return Config.pid[n].w[w]; }
};

TEST_F(PidFileTest, CommaLocaleRoundTrip) {
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    pidWord(0, reg::pid::Kp) = 150;
    pidWord(0, reg::pid::Td) = 7;
    pidWord(1, reg::pid::Kp) = 65535; // no group separator in the thousands
    pidWord(1, reg::pid::Td) = 65535;
    pidWord(2, reg::pid::Ymin) = 65535;
    pidWord(2, reg::pid::Ti) = 65535;
    pidWord(2, reg::pid::XsDef) = 0x8000;
    Config.SwOut = 0xFFFF;
    Config.io[io::DacValue] = 0xFFFF;
    const ModuleConfig saved = Config;
    saveAs(path("a.pid"));
    const QString text = readAll(path("a.pid"));
    for (const char* line : {"Kp=1,5", "Td=0,7", "Kp=655,35", "Td=6553,5", "Ymin=-1", "Ti=65535",
                             "XsDef=-32768", "SwOut=-1", "Value=65535"})
        EXPECT_TRUE(text.contains(QLatin1String(line) + QLatin1Char('\n'))) << line;
    EXPECT_TRUE(text.contains(QLatin1String("\nKp=1\n"))) << "New's 100 is written as 1";

    ResetConfig();
    open(path("a.pid"));
    EXPECT_EQ(Config.pid[0].w, saved.pid[0].w);
    EXPECT_EQ(Config.pid[1].w, saved.pid[1].w);
    EXPECT_EQ(Config.pid[2].w, saved.pid[2].w);
    EXPECT_EQ(Config.SwOut, saved.SwOut);
    EXPECT_EQ(Config.io, saved.io);
}

TEST_F(PidFileTest, PointLocaleWritesPointsAndBothSeparatorsRead) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    pidWord(0, reg::pid::Kp) = 150;
    pidWord(0, reg::pid::Td) = 12345;
    saveAs(path("b.pid"));
    const QString text = readAll(path("b.pid"));
    EXPECT_TRUE(text.contains(QLatin1String("Kp=1.5\n")));
    EXPECT_TRUE(text.contains(QLatin1String("Td=1234.5\n")));

    writeAll(path("c.pid"), "[PID1]\nKp=2,25\nTd=2\n[PID2]\nKp= 0.5 \nTd=1,7\n");
    open(path("c.pid"));
    EXPECT_EQ(pidWord(0, reg::pid::Kp), 225);
    EXPECT_EQ(pidWord(0, reg::pid::Td), 20);
    EXPECT_EQ(pidWord(1, reg::pid::Kp), 50);
    EXPECT_EQ(pidWord(1, reg::pid::Td), 17);
}

TEST_F(PidFileTest, SavedFractionsReadBackToTheSameWord) {
    // 0,29 and the like are not exact in binary; a saved file must still give the
    // same words back, also where the locale writes digits of its own script.
    for (const QLocale& locale :
         {QLocale(QLocale::Russian, QLocale::Russia), QLocale(QLocale::Arabic, QLocale::Egypt)}) {
        SCOPED_TRACE(locale.name().toStdString());
        QLocale::setDefault(locale);
        pidWord(0, reg::pid::Kp) = 29;
        pidWord(1, reg::pid::Kp) = 57;
        pidWord(2, reg::pid::Kp) = 65533;
        pidWord(0, reg::pid::Td) = 7;
        const ModuleConfig saved = Config;
        saveAs(path("r.pid"));
        const QString text = readAll(path("r.pid"));
        for (QChar c : text)
            EXPECT_LT(c.unicode(), 128) << "only ASCII in the file";
        ResetConfig();
        open(path("r.pid"));
        for (int n = 0; n < 3; ++n)
            EXPECT_EQ(Config.pid[n].w, saved.pid[n].w) << n;
    }
    // A value between the steps is still cut toward zero, not rounded.
    QLocale::setDefault(QLocale::c());
    writeAll(path("h.pid"), "[PID1]\nKp=1,507\nTd=-0,29\n[PID2]\nKp=0.299\n");
    open(path("h.pid"));
    EXPECT_EQ(pidWord(0, reg::pid::Kp), 150);
    EXPECT_EQ(pidWord(0, reg::pid::Td), 65534); // -2
    EXPECT_EQ(pidWord(1, reg::pid::Kp), 29);
}

TEST_F(PidFileTest, IntegerForms) {
    writeAll(path("i.pid"), "[PID1]\nTi=-1\nYmin=65535\nXsDef=0x10\nYmax=+7\nOffset=12abc\n"
                            "dXdz1=\n[PID]\nSwOut=2\n[ADC2]\nTi=0X1f\n");
    open(path("i.pid"));
    EXPECT_EQ(pidWord(0, reg::pid::Ti), 65535);
    EXPECT_EQ(pidWord(0, reg::pid::Ymin), 65535);
    EXPECT_EQ(pidWord(0, reg::pid::XsDef), 16);
    EXPECT_EQ(pidWord(0, reg::pid::Ymax), 7);
    EXPECT_EQ(pidWord(0, reg::pid::Offset), 0); // not an integer: default
    EXPECT_EQ(pidWord(0, reg::pid::dXdz1), 0);  // empty: default
    EXPECT_EQ(Config.io[1], 31);
    EXPECT_EQ(group("swout")->itemIndex(), 2);

    run("miFileSave");
    const QString text = readAll(path("i.pid"));
    EXPECT_TRUE(text.contains(QLatin1String("Ti=65535\n")));
    EXPECT_TRUE(text.contains(QLatin1String("Ymin=-1\n")));
    EXPECT_TRUE(text.contains(QLatin1String("XsDef=16\n")));
}

TEST_F(PidFileTest, BadFractionsGiveTheDefaultNeverAWrongWord) {
    writeAll(path("f.pid"), "[PID1]\nKp=abc\nTd=1e\n[PID2]\nKp=inf\nTd=nan\n[PID3]\nKp=\n"
                            "Td=3,3\n");
    open(path("f.pid"));
    EXPECT_EQ(pidWord(0, reg::pid::Kp), 100);
    EXPECT_EQ(pidWord(0, reg::pid::Td), 0);
    EXPECT_EQ(pidWord(1, reg::pid::Kp), 100);
    EXPECT_EQ(pidWord(1, reg::pid::Td), 0);
    EXPECT_EQ(pidWord(2, reg::pid::Kp), 100);
    EXPECT_EQ(pidWord(2, reg::pid::Td), 33);
}

// Cut to its low 16 bits, a number no register word holds would load as a
// value nobody wrote and go to the module with the next write.
TEST_F(PidFileTest, NumberOutsideAWordRefusesTheWholeFile) {
    saveAs(path("current.pid"));
    const QString title = window->windowTitle();
    pidWord(0, reg::pid::Kp) = 150;
    pidWord(1, reg::pid::Ti) = 77;
    const ModuleConfig before = Config;
    struct Case {
        const char* text;
        const char* what; // section, key and limits named by the message
    };
    const Case cases[] = {
        {"[PID1]\nKp=99999999\n",
         "[PID1] значение Kp=99999999 выходит за пределы -327.68 - 655.35"},
        {"[PID1]\nKp=655.36\n", "[PID1] значение Kp=655.36 выходит за пределы -327.68 - 655.35"},
        {"[PID3]\nTd=1e300\n", "[PID3] значение Td=1e300 выходит за пределы -3276.8 - 6553.5"},
        {"[PID2]\nTi=2\nYmin=-32769\n",
         "[PID2] значение Ymin=-32769 выходит за пределы -32768 - 65535"},
        {"[PID2]\nTi=65536\n", "[PID2] значение Ti=65536 выходит за пределы -32768 - 65535"},
        {"[PID]\nSwOut=0x10000\n",
         "[PID] значение SwOut=0x10000 выходит за пределы -32768 - 65535"},
        {"[PWM2]\nTpwm=99999999999999999999\n",
         "[PWM2] значение Tpwm=99999999999999999999 выходит за пределы -32768 - 65535"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        writeAll(path("bad.pid"), c.text);
        prompts.shown.clear();
        open(path("bad.pid"));
        EXPECT_EQ(prompts.texts(), QStringList{QStringLiteral("Файл ") + path("bad.pid") +
                                               QString::fromUtf8(" не загружен: в разделе ") +
                                               QString::fromUtf8(c.what) + "!"});
        EXPECT_EQ(Config.pid[0].w, before.pid[0].w);
        EXPECT_EQ(Config.pid[1].w, before.pid[1].w);
        EXPECT_EQ(Config.io, before.io);
        EXPECT_EQ(window->ConfigFileName, path("current.pid"));
        EXPECT_EQ(window->windowTitle(), title);
    }
    // What goes to the module next is the configuration that stayed.
    run("miWriteConf");
    EXPECT_EQ(module.reg(reg::PidWord(0, reg::pid::Kp)), 150);
    EXPECT_EQ(module.reg(reg::PidWord(1, reg::pid::Ti)), 77);

    // The limits themselves load, and the set-point check is the same as before.
    writeAll(path("edge.pid"), "[PID1]\nKp=655.35\nTd=-3276.8\nInSw=7\n[PID2]\nYmin=-32768\n");
    prompts.shown.clear();
    open(path("edge.pid"));
    EXPECT_EQ(pidWord(0, reg::pid::Kp), 65535);
    EXPECT_EQ(pidWord(0, reg::pid::Td), 32768);
    EXPECT_EQ(pidWord(1, reg::pid::Ymin), 32768);
    EXPECT_EQ(static_cast<int16_t>(pidWord(0, reg::pid::InSw)), -1);
    EXPECT_EQ(prompts.shown.size(), 1u) << "the invalid set-point code, as before";
}

TEST_F(PidFileTest, MissingKeysTakeTheFileDefaults) {
    Config.io.fill(1);
    click("rgMode", 1);
    writeAll(path("only.pid"), "[PID1]\nInSw=5\n");
    open(path("only.pid"));
    // The interlock took ПИД2 out of service.
    EXPECT_EQ(static_cast<int16_t>(pidWord(1, reg::pid::InSw)), -1);
    EXPECT_EQ(group("swpid1")->itemIndex(), 3);
    EXPECT_EQ(pidWord(2, reg::pid::Ti), 65535);
    EXPECT_EQ(pidWord(2, reg::pid::Kp), 100);
    const std::array<uint16_t, 20> expected = {40,  40,    40,    0, 0, 2, 2,    2,     2, 100,
                                               200, 60000, 20000, 0, 0, 0, 1000, 20000, 0, 2};
    EXPECT_EQ(Config.io, expected); // DAC/Vi 0 and PWM2 0, 0, 1000; the mode untouched
    EXPECT_EQ(group("rgMode")->itemIndex(), 1);
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(PidFileTest, NewFileHasEveryKeyInOrder) {
    saveAs(path("n.pid"));
    QStringList lines = readAll(path("n.pid")).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QStringList keys;
    for (const QString& l : lines)
        keys << l.section(QLatin1Char('='), 0, 0);
    QStringList expected;
    for (int n = 1; n <= 3; ++n)
        expected << QStringLiteral("[PID%1]").arg(n)
                 << QString("InSw XsDef dXdz1 dXdz2 Kp Ti Td Ts Ymax Ymin Offset PIDControl "
                            "XfoDef OffsetIN")
                        .split(QLatin1Char(' '));
    expected << "[PID]"
             << "SwOut";
    for (int n = 1; n <= 3; ++n)
        expected << QStringLiteral("[ADC%1]").arg(n) << "Ti"
                 << "Mode";
    expected << "[DAC]"
             << "Vi"
             << "Mode"
             << "Value";
    for (int n = 1; n <= 2; ++n)
        expected << QStringLiteral("[PWM%1]").arg(n) << "dXdz1_pwm"
                 << "dXdz2_pwm"
                 << "Tpwm"
                 << "Xmax"
                 << "dY";
    EXPECT_EQ(keys, expected);
    EXPECT_TRUE(lines.contains(QStringLiteral("Ymin=-20000")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Tpwm=60000")));
}

TEST_F(PidFileTest, ForeignLinesStay) {
    writeAll(path("x.pid"), "; notes of the engineer\n[PID1]\nKp=3\nComment=pump 4\n\n"
                            "[Site]\nName=Hall B\n");
    open(path("x.pid"));
    run("miFileSave");
    const QStringList lines = readAll(path("x.pid")).split(QLatin1Char('\n'));
    EXPECT_EQ(lines.first(), QStringLiteral("; notes of the engineer"));
    EXPECT_TRUE(lines.contains(QStringLiteral("Comment=pump 4")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Name=Hall B")));
    EXPECT_EQ(lines.count(QStringLiteral("Kp=3")), 1);
    EXPECT_EQ(lines.indexOf(QStringLiteral("[Site]")) + 1,
              lines.indexOf(QStringLiteral("Name=Hall B")));
}

TEST_F(PidFileTest, DialogsCaptionAndSaveWithoutAFile) {
    run("miFileSave"); // no file yet: behaves as Save As, cancelled
    ASSERT_EQ(prompts.saveRequests.size(), 1u);
    const FileDialogRequest& r = prompts.saveRequests[0];
    EXPECT_EQ(r.filter, QStringLiteral("Файлы конфигурации  QMT-584 (*.pid)"));
    EXPECT_EQ(r.defaultSuffix, QStringLiteral("pid"));
    EXPECT_TRUE(r.confirmOverwrite);
    EXPECT_TRUE(window->ConfigFileName.isEmpty());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("QMT584_View"));

    saveAs(path("s.pid"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("QMT584_View - ") + path("s.pid"));
    run("miFileOpen"); // cancelled
    ASSERT_EQ(prompts.openRequests.size(), 1u);
    EXPECT_EQ(prompts.openRequests[0].filter,
              QStringLiteral("Файлы конфигурации  QMT-584 (*.pid)"));
    EXPECT_EQ(QDir(prompts.openRequests[0].directory), QDir(dir.path()));
    EXPECT_EQ(window->ConfigFileName, path("s.pid"));

    // New keeps the file: Save writes the New values into it.
    Config.pid[0].w[reg::pid::Kp] = 250;
    run("miFileSave");
    run("miFileNew");
    run("miFileSave");
    EXPECT_EQ(prompts.saveRequests.size(), 2u);
    EXPECT_TRUE(readAll(path("s.pid")).contains(QLatin1String("\nKp=1\n")));
    EXPECT_FALSE(readAll(path("s.pid")).contains(QLatin1String("Kp=2,5")));
}

TEST_F(PidFileTest, UnreadableFileLeavesModelAndSwitchesAlone) {
    run("miFileNew");
    Config.pid[0].w[reg::pid::Kp] = 321;
    const ModuleConfig before = Config;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("dir.pid")));
    open(path("dir.pid"));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text,
              QStringLiteral("Невозможно прочитать файл ") + path("dir.pid"));
    EXPECT_EQ(Config.pid[0].w, before.pid[0].w);
    EXPECT_EQ(Config.io, before.io);
    EXPECT_EQ(group("swpid1")->itemIndex(), 0);

    if (geteuid() != 0) { // root reads whatever the permissions say
        writeAll(path("locked.pid"), "[PID1]\nKp=9\n");
        QFile::setPermissions(path("locked.pid"), QFileDevice::Permissions());
        open(path("locked.pid"));
        EXPECT_EQ(prompts.lastText(),
                  QStringLiteral("Невозможно прочитать файл ") + path("locked.pid"));
        EXPECT_EQ(Config.pid[0].w[reg::pid::Kp], 321);
    }
    // A missing file is no error: the defaults of the table.
    prompts.shown.clear();
    open(path("gone.pid"));
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(Config.pid[0].w[reg::pid::Kp], 100);
}

TEST_F(PidFileTest, AFileWithoutAnyConfigurationSectionIsRefused) {
    saveAs(path("current.pid"));
    const QString title = window->windowTitle();
    Config.pid[0].w[reg::pid::Kp] = 321;
    Config.io[io::DacVi] = 55;
    const ModuleConfig before = Config;
    struct Case {
        const char* name;
        QByteArray text;
    };
    const Case refused[] = {
        {"empty.pid", ""},
        {"notes.txt", "Калибровка 12.03\nвсё в порядке\n"},
        {"keys.pid", "Kp=5\nInSw=1\n"},
        {"other.ini", "[Port]\nName=/dev/ttyUSB0\n[PID4]\nKp=3\n"},
    };
    for (const Case& c : refused) {
        writeAll(path(c.name), c.text);
        prompts.shown.clear();
        open(path(c.name));
        EXPECT_EQ(prompts.texts(), QStringList{QStringLiteral("Файл ") + path(c.name) +
                                               " не является файлом конфигурации QMT-584"})
            << c.name;
        EXPECT_EQ(Config.pid[0].w, before.pid[0].w) << c.name;
        EXPECT_EQ(Config.io, before.io) << c.name;
        EXPECT_EQ(window->ConfigFileName, path("current.pid")) << c.name;
        EXPECT_EQ(window->windowTitle(), title) << c.name;
    }
    // One section of any name case is enough; the missing keys take their defaults.
    const Case accepted[] = {{"pwm.pid", "[pwm2]\n"},
                             {"sw.pid", "; saved by hand\n[PID]\nSwOut=2\n"}};
    for (const Case& c : accepted) {
        writeAll(path(c.name), c.text);
        prompts.shown.clear();
        Config = before;
        open(path(c.name));
        EXPECT_TRUE(prompts.shown.empty()) << c.name << ": " << prompts.lastText().toStdString();
        EXPECT_EQ(Config.pid[0].w[reg::pid::Kp], 100) << c.name;
        EXPECT_EQ(Config.io[io::Pwm2 + 2], 1000) << c.name;
        EXPECT_EQ(window->ConfigFileName, path(c.name)) << c.name;
    }
}

TEST_F(PidFileTest, FailedSaveAsKeepsTheCurrentFile) {
    saveAs(path("good.pid"));
    const QString title = window->windowTitle();
    writeAll(path("plain"), "not a folder");
    const QString bad = path("plain") + QStringLiteral("/t.pid");
    saveAs(bad);
    EXPECT_EQ(prompts.lastText(), QStringLiteral("Unable to write to ") + bad);
    EXPECT_EQ(window->ConfigFileName, path("good.pid"));
    EXPECT_EQ(window->windowTitle(), title);

    // Save goes on writing the file that was written last.
    prompts.shown.clear();
    Config.pid[1].w[reg::pid::Kp] = 250;
    run("miFileSave");
    EXPECT_TRUE(prompts.shown.empty()) << prompts.lastText().toStdString();
    EXPECT_TRUE(readAll(path("good.pid")).contains(QLatin1String("\nKp=2.5\n")) ||
                readAll(path("good.pid")).contains(QLatin1String("\nKp=2,5\n")));
    EXPECT_EQ(prompts.saveRequests.size(), 2u);
}

TEST_F(PidFileTest, FailedSaveReportsAndLeavesTheOldFileWhole) {
    writeAll(path("plain"), "not a folder");
    const QString inside = path("plain") + QStringLiteral("/t.pid");
    saveAs(inside);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("Unable to write to ") + inside);
    EXPECT_EQ(prompts.shown[0].caption, QStringLiteral("QMT584_View"));
    EXPECT_EQ(prompts.shown[0].icon, MsgIcon::Error);

    // A save that runs out of room part-way (a file size limit stops even root).
    const QByteArray old = "[PID1]\nKp=7\n";
    writeAll(path("old.pid"), old);
    window->ConfigFileName = path("old.pid");
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tight = saved;
    tight.rlim_cur = 64;
    setrlimit(RLIMIT_FSIZE, &tight);
    run("miFileSave");
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(prompts.lastText(), QStringLiteral("Unable to write to ") + path("old.pid"));
    EXPECT_EQ(readAll(path("old.pid")).toUtf8(), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2); // no temporary left behind
}

} // namespace
} // namespace qmt::test
