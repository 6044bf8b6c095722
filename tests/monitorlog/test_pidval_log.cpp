// The value log of the values window: arming, the header and lines of a run,
// every way the run ends, and the failures a night run must not hide.
#include "PidValFixture.h"

#include "common/Cp1251.h"
#include "link/PortSettings.h"
#include "monitor/TPidValLog.h"
#include "monitor/ValueLog.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>

#include <csignal>
#include <functional>
#include <sys/resource.h>

namespace {

using qmt::MsgIcon;
using qmt::test::PidValTest;

QByteArray cp(const char* utf8) {
    return qmt::toCp1251(QString::fromUtf8(utf8));
}

class LogTest : public PidValTest {
protected:
    // One tick while no file may grow beyond limit bytes: a disk that is full.
    bool tickWithFileLimit(qint64 limit) {
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit lowered = old;
        lowered.rlim_cur = static_cast<rlim_t>(limit);
        auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &lowered);
        const bool cycle = tick(1000);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        return cycle;
    }
    void SetUp() override {
        PidValTest::SetUp();
        module.setReg(1040, 100);
        selectOnly({1, 31});
    }
    // Arms the log on path; true when it is armed.
    bool arm(const QString& path) {
        window->edLog->setText(path);
        window->chbLog->userClick();
        return window->chbLog->checked() && LogOf(*window).isOpen();
    }
};

TEST_F(LogTest, RunWritesHeaderAtStartAndOneLinePerCycle) {
    const QString path = file("run.log");
    ASSERT_TRUE(arm(path));
    EXPECT_EQ(contents(path), QByteArray()) << "nothing before periodic update runs";
    clock.current = clock.current.addMSecs(237);
    window->chbUpdate->userClick();
    EXPECT_TRUE(window->tmUpdate->isActive());
    ASSERT_TRUE(tick(5000));
    module.setReg(1040, 0x8000);
    ASSERT_TRUE(tick(1000));
    // The input value is the fake module's own measurement.
    const QByteArray adc = QByteArray::number(static_cast<int16_t>(module.reg(1024)));
    EXPECT_EQ(contents(path), cp("  Время     Xs(k)1     АЦП1\r\n") + "     5,23      100" +
                                  adc.rightJustified(9) + "\r\n     6,23   -32768" +
                                  adc.rightJustified(9) + "\r\n");
    EXPECT_TRUE(prompts.shown.empty()) << prompts.lastText().toStdString();

    // The selection is frozen for the run, so every line matches the header.
    EXPECT_TRUE(window->selectionFrozen());
    window->sgSTATEMouseUp(0, 0, Qt::LeftButton);
    EXPECT_TRUE(window->RegChannels[0][0].selected);

    // Unchecking the log ends the run together with periodic update.
    window->chbLog->userClick();
    EXPECT_FALSE(window->chbUpdate->checked());
    EXPECT_FALSE(window->tmUpdate->isActive());
    EXPECT_FALSE(LogOf(*window).isOpen());
}

TEST_F(LogTest, TimeCountsFromArmingAndColumnsFollowTheSelection) {
    for (auto& regulator : window->RegChannels)
        for (MonitorChannel& ch : regulator)
            ch.selected = true;
    window->sgSTATEMouseUp(2, 0, Qt::LeftButton); // "ПИД2": its seven columns out
    window->sgSTATESelectCell(1, 4);              // STATE1 out by hand
    const QString path = file("columns.log");
    ASSERT_TRUE(arm(path));
    clock.current = clock.current.addSecs(3);
    window->chbUpdate->userClick();
    ASSERT_TRUE(tick(1000));
    const QList<QByteArray> lines = contents(path).split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith(
        cp("  Время     Xs(k)1   Xm(k)1    Y(k)1    Dmin1    Dmax1      OV1   Xs(k)3")));
    EXPECT_TRUE(lines[0].endsWith("      OV3     \xC0\xD6\xCF\x31\r"));
    EXPECT_EQ(lines[0].size(), 9 * (1 + 6 + 7 + 1) + 1);
    EXPECT_TRUE(lines[1].startsWith("     4,00      100"));
    EXPECT_EQ(lines[1].size(), lines[0].size());
}

TEST_F(LogTest, CheckingWhilePeriodicUpdateRunsStartsTheLogThere) {
    window->chbUpdate->userClick();
    ASSERT_TRUE(tick(1000));
    const QString path = file("late.log");
    ASSERT_TRUE(arm(path));
    EXPECT_TRUE(window->chbUpdate->checked());
    EXPECT_TRUE(window->tmUpdate->isActive());
    clock.current = clock.current.addMSecs(1500);
    ASSERT_TRUE(tick(0));
    const QByteArray adc = QByteArray::number(static_cast<int16_t>(module.reg(1024)));
    EXPECT_EQ(contents(path), cp("  Время     Xs(k)1     АЦП1\r\n") + "     1,50      100" +
                                  adc.rightJustified(9) + "\r\n");
    EXPECT_TRUE(prompts.shown.empty()) << prompts.lastText().toStdString();

    // A log that cannot start says why and leaves the update running.
    window->chbLog->userClick(); // ends the run with its log
    window->chbUpdate->userClick();
    EXPECT_FALSE(arm(file("absent/run.log")));
    EXPECT_EQ(prompts.texts(), QStringList{QString::fromUtf8("Путь не существует!")});
    prompts.answers = {QMessageBox::Cancel};
    EXPECT_FALSE(arm(path));
    EXPECT_TRUE(window->tmUpdate->isActive());
    ASSERT_TRUE(tick(1000));
    EXPECT_EQ(contents(path).count('\n'), 2) << "the refused log stays as it was";
}

// Another port or station is another module: its values never follow in the
// same file. The log ends with a note, the update goes on.
TEST_F(LogTest, PortOrStationChangeEndsTheLog) {
    struct Case {
        const char* name;
        std::function<void()> change;
    };
    const Case cases[] = {
        {"port", [] { qmt::PortSettings.portName = QStringLiteral("tcp://127.0.0.1:1502"); }},
        {"station",
         [this] {
             module.setReg(257, 7); // the module on the same line that answers at 7
             qmt::PortSettings.address = 7;
         }},
    };
    qmt::test::FakeStatus status;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        qmt::PortSettings = qmt::TPortSettings{};
        module.setReg(257, 1);
        status.confirmations.clear();
        const QString path = file("switch.log");
        prompts.answers = {QMessageBox::Yes};
        ASSERT_TRUE(arm(path));
        window->chbUpdate->userClick();
        ASSERT_TRUE(tick(1000));
        c.change();
        ASSERT_TRUE(tick(1000));
        ASSERT_TRUE(tick(1000));
        EXPECT_EQ(contents(path).count('\n'), 2) << "header and the one line of the first module";
        EXPECT_FALSE(window->chbLog->checked());
        EXPECT_FALSE(LogOf(*window).isOpen());
        EXPECT_TRUE(window->tmUpdate->isActive());
        EXPECT_EQ(status.confirmations,
                  QStringList{QString::fromUtf8("Журнал закрыт: сменились порт или станция")});
        window->chbUpdate->userClick();
    }
    // Armed on one line and started on another: nothing but the note.
    qmt::PortSettings = qmt::TPortSettings{};
    prompts.answers = {QMessageBox::Yes};
    ASSERT_TRUE(arm(file("switch.log")));
    qmt::PortSettings.address = 9;
    window->chbUpdate->userClick();
    EXPECT_EQ(contents(file("switch.log")), QByteArray());
    EXPECT_FALSE(window->chbLog->checked());
    qmt::PortSettings = qmt::TPortSettings{};
}

TEST_F(LogTest, EmptyNameOpensTheDialogAndLogsNothing) {
    prompts.saveAnswers = {file("chosen.log")};
    window->chbLog->userClick();
    EXPECT_FALSE(window->chbLog->checked());
    EXPECT_EQ(window->edLog->text(), file("chosen.log"));
    EXPECT_FALSE(QFile::exists(file("chosen.log")));
    ASSERT_EQ(prompts.saveRequests.size(), 1u);
    EXPECT_EQ(prompts.saveRequests[0].defaultSuffix, "log");
    EXPECT_EQ(prompts.saveRequests[0].filter,
              QString::fromUtf8("Log-файлы (*.log) (*.log);;Все файлы (*)"));
    EXPECT_TRUE(prompts.saveRequests[0].hideFilterDetails);
    EXPECT_TRUE(prompts.saveRequests[0].confirmOverwrite);

    // "..." only fills the name, and a cancelled dialog keeps the old one.
    window->btBrouse->click();
    EXPECT_EQ(window->edLog->text(), file("chosen.log"));
}

TEST_F(LogTest, MissingFolderIsReported) {
    EXPECT_FALSE(arm(file("absent/run.log")));
    EXPECT_EQ(prompts.texts(), QStringList{QString::fromUtf8("Путь не существует!")});
    EXPECT_FALSE(window->chbLog->checked());
    // A bare name goes to the current folder without a question about it.
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(dir.path());
    EXPECT_TRUE(arm("bare.log"));
    QDir::setCurrent(cwd);
    EXPECT_TRUE(QFile::exists(file("bare.log")));
}

TEST_F(LogTest, ExistingFileIsAskedAbout) {
    struct Case {
        QMessageBox::StandardButton answer;
        const char* dialogAnswer; // nullptr: no dialog expected; "" cancels it
        bool armed;
        const char* written; // file that ends up open and empty
    } cases[] = {
        {QMessageBox::Yes, nullptr, true, "old.log"},
        {QMessageBox::No, "", false, nullptr},
        {QMessageBox::No, "other.log", true, "other.log"},
        {QMessageBox::Cancel, nullptr, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        for (const char* name : {"old.log", "other.log"}) {
            QFile f(file(name));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("kept");
        }
        prompts.shown.clear();
        prompts.saveRequests.clear();
        prompts.answers = {c.answer};
        if (c.dialogAnswer)
            prompts.saveAnswers = {*c.dialogAnswer ? file(c.dialogAnswer) : QString()};

        EXPECT_EQ(arm(file("old.log")), c.armed);
        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_EQ(prompts.shown[0].text, QString::fromUtf8("Файл существует!\nПереписать?"));
        EXPECT_EQ(prompts.shown[0].caption, QString());
        EXPECT_EQ(prompts.shown[0].icon, MsgIcon::Warning);
        EXPECT_EQ(prompts.shown[0].buttons,
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        EXPECT_EQ(prompts.saveRequests.size(), c.dialogAnswer ? 1u : 0u);
        for (const char* name : {"old.log", "other.log"}) {
            const bool truncated = c.written && QLatin1String(name) == QLatin1String(c.written);
            EXPECT_EQ(contents(file(name)), truncated ? QByteArray() : QByteArray("kept")) << name;
        }
        if (c.written) {
            EXPECT_EQ(window->edLog->text(), file(c.written));
        }
        if (window->chbLog->checked()) window->chbLog->userClick();
    }
}

TEST_F(LogTest, CommunicationFailureClosesAfterTheLastCompleteLine) {
    const QString path = file("fail.log");
    ASSERT_TRUE(arm(path));
    window->chbUpdate->userClick();
    ASSERT_TRUE(tick(1000));
    module.failWhen = [](const qmt::test::Request& r) { return r.address == 1048 ? 14 : 0; };
    EXPECT_FALSE(tick(1000));
    module.failWhen = nullptr;
    EXPECT_FALSE(window->chbUpdate->checked());
    EXPECT_FALSE(window->chbLog->checked());
    EXPECT_EQ(contents(path).count('\n'), 2);
    EXPECT_EQ(prompts.shown.size(), 1u);

    // The next arming finds the file of the failed run.
    prompts.answers = {QMessageBox::Cancel};
    EXPECT_FALSE(arm(path));
    EXPECT_EQ(prompts.lastText(), QString::fromUtf8("Файл существует!\nПереписать?"));
    EXPECT_EQ(contents(path).count('\n'), 2);
}

// The values window is modal, so the engineer closes it to get back to the
// main window: the run and its log go on, and reopening shows them as they are.
TEST_F(LogTest, ClosingTheWindowDuringARunKeepsTheLogWritten) {
    const QString path = file("closed.log");
    ASSERT_TRUE(arm(path));
    window->show();
    window->chbUpdate->userClick();
    ASSERT_TRUE(tick(1000));
    window->close();
    EXPECT_TRUE(window->chbLog->checked());
    EXPECT_TRUE(window->tmUpdate->isActive());
    ASSERT_TRUE(tick(1000));
    ASSERT_TRUE(tick(1000));
    EXPECT_EQ(contents(path).count('\n'), 4);
    window->show();
    EXPECT_TRUE(window->chbLog->checked());
    EXPECT_TRUE(LogOf(*window).isOpen());
    window->reject(); // as the close box does
    ASSERT_TRUE(tick(1000));
    EXPECT_EQ(contents(path).count('\n'), 5);

    // Stopping the update, also with the window closed, ends the log.
    window->chbUpdate->userClick();
    EXPECT_FALSE(window->chbLog->checked());
    EXPECT_FALSE(LogOf(*window).isOpen());
    ASSERT_TRUE(tick(1000));
    EXPECT_EQ(contents(path).count('\n'), 5);
    EXPECT_TRUE(prompts.shown.empty()) << prompts.lastText().toStdString();
}

// Whether a process holds path open, by its descriptors.
bool heldOpen(const QString& path) {
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : fds.entryList(QDir::NoDotAndDotDot | QDir::System | QDir::Files))
        if (QFile::symLinkTarget(fds.filePath(fd)) == QFileInfo(path).canonicalFilePath())
            return true;
    return false;
}

TEST_F(LogTest, ARunningLogEndsWithAFailedCycleOrTheProgram) {
    const QString failed = file("failed.log"), ended = file("ended.log");
    ASSERT_TRUE(arm(failed));
    window->chbUpdate->userClick();
    window->close();
    ASSERT_TRUE(tick(1000));
    module.failNext(14, 3);
    EXPECT_FALSE(tick(1000));
    EXPECT_FALSE(window->chbUpdate->checked());
    EXPECT_FALSE(window->chbLog->checked());
    EXPECT_FALSE(heldOpen(failed));
    EXPECT_EQ(contents(failed).count('\n'), 2);

    ASSERT_TRUE(arm(ended));
    window->chbUpdate->userClick();
    ASSERT_TRUE(tick(1000));
    window->close();
    ASSERT_TRUE(tick(1000));
    EXPECT_TRUE(heldOpen(ended));
    window.reset(); // the program's end
    EXPECT_FALSE(heldOpen(ended));
    EXPECT_EQ(contents(ended).count('\n'), 3);
}

TEST_F(LogTest, FileThatCannotBeCreatedIsReported) {
    // /proc takes no new files, whoever runs the test.
    EXPECT_FALSE(arm("/proc/qmt584.log"));
    EXPECT_FALSE(window->chbLog->checked());
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, QString::fromUtf8("Невозможно создать файл /proc/qmt584.log"));
    EXPECT_EQ(prompts.shown[0].caption, QString::fromUtf8("Ошибка!"));
    EXPECT_EQ(prompts.shown[0].icon, MsgIcon::Error);

    // A folder the user may not write to.
    if (geteuid() != 0) {
        QDir(dir.path()).mkdir("ro");
        QFile::setPermissions(file("ro"), QFile::ReadOwner | QFile::ExeOwner);
        EXPECT_FALSE(arm(file("ro/run.log")));
        EXPECT_EQ(prompts.lastText(),
                  QString::fromUtf8("Невозможно создать файл ") + file("ro/run.log"));
    }
}

TEST_F(LogTest, WriteFailureIsReportedOnceAndStopsTheRun) {
    // A full device: the header already fails.
    prompts.answers = {QMessageBox::Yes};
    ASSERT_TRUE(arm("/dev/full"));
    window->chbUpdate->userClick();
    EXPECT_FALSE(window->chbLog->checked());
    EXPECT_FALSE(window->tmUpdate->isActive());
    EXPECT_EQ(prompts.lastText(), QString::fromUtf8("Ошибка записи в файл /dev/full"));
    EXPECT_EQ(prompts.shown.back().caption, QString::fromUtf8("Ошибка!"));
    EXPECT_EQ(prompts.shown.back().icon, MsgIcon::Error);

    // A disk that fills up in the middle of a run: the lines before stay.
    const QString path = file("full.log");
    ASSERT_TRUE(arm(path));
    window->chbUpdate->userClick();
    ASSERT_TRUE(tick(1000));
    ASSERT_TRUE(tick(1000));
    const QByteArray before = contents(path);
    ASSERT_EQ(before.count('\n'), 3);
    prompts.shown.clear();

    const bool cycle = tickWithFileLimit(before.size());

    EXPECT_TRUE(cycle) << "the read itself succeeded";
    EXPECT_EQ(prompts.texts(), QStringList{QString::fromUtf8("Ошибка записи в файл ") + path});
    EXPECT_FALSE(window->chbLog->checked());
    EXPECT_FALSE(window->chbUpdate->checked());
    EXPECT_FALSE(window->tmUpdate->isActive());
    EXPECT_EQ(contents(path), before);
    // Once: a later click on "Обновить" writes nothing and asks nothing.
    ASSERT_TRUE(tick(1000));
    EXPECT_EQ(prompts.shown.size(), 1u);
}

// A disk that fills up in the middle of a line: the part written is taken
// back, so the log still ends on a whole CR LF line.
TEST_F(LogTest, LineCutShortIsTakenBackWhole) {
    for (int room : {1, 9, 20, 28}) {
        SCOPED_TRACE(room);
        const QString path = file("cut.log");
        prompts.answers = {QMessageBox::Yes};
        ASSERT_TRUE(arm(path));
        window->chbUpdate->userClick();
        ASSERT_TRUE(tick(1000));
        const QByteArray before = contents(path);
        ASSERT_TRUE(before.endsWith("\r\n"));
        prompts.shown.clear();
        EXPECT_TRUE(tickWithFileLimit(before.size() + room));
        EXPECT_EQ(contents(path), before);
        EXPECT_EQ(prompts.texts(), QStringList{QString::fromUtf8("Ошибка записи в файл ") + path});
        EXPECT_FALSE(window->chbLog->checked());
    }
}

// The desktop's own save dialog, as the user sees it: the log filter keeps its
// pattern in its name, "Все файлы" shows none.
TEST_F(LogTest, LogDialogListsTheFiltersByName) {
    QStringList shown;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        if (auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
            for (int i = 0; i < types->count(); ++i)
                shown << types->itemText(i);
        dialog->reject();
    });
    poll.start(10);
    qmt::setPrompts(nullptr);
    window->btBrouse->click();
    qmt::setPrompts(&prompts);
    poll.stop();
    EXPECT_EQ(shown, (QStringList{QString::fromUtf8("Log-файлы (*.log)"),
                                  QString::fromUtf8("Все файлы")}));
    EXPECT_TRUE(window->edLog->text().isEmpty());
}

} // namespace
