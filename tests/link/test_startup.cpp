// Start-up: the program without its library shows one message and ends with 1;
// the application title.
//
// The box is modal and a headless session has no one to press OK, so the
// program runs with answer_message_boxes preloaded: it reports each box on
// standard error and answers it at once. Nothing in the program knows about it.
#include "link/Startup.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(Startup, WithoutItsLibraryTheProgramShowsOneMessageAndEndsWithOne) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // The program alone: no libvornlink.so beside it, none on the search path.
    const QString program = dir.filePath(QStringLiteral("QMT584_View"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(PROGRAM_FILE), program));

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(ANSWER_SHIM));
    env.remove(QStringLiteral("LD_LIBRARY_PATH"));
    // A sanitizer build insists on being first in the library list.
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               env.value(QStringLiteral("ASAN_OPTIONS")) +
                   QStringLiteral(":verify_asan_link_order=0:detect_leaks=0"));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(dir.path());
    process.start(program, {});
    ASSERT_TRUE(process.waitForFinished(60000)) << "the program did not end";

    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 1);
    const QStringList boxes =
        QString::fromUtf8(process.readAllStandardError()).split('\n').filter("message box|");
    EXPECT_EQ(boxes, QStringList{QStringLiteral("message box|Ошибка!|Не найдена libvornlink.so!")});
    // Nothing was written beside the program.
    EXPECT_FALSE(QFile::exists(program + QStringLiteral(".ini")));
}

TEST(Startup, TheTitleNamesTheApplicationWithoutStampingEveryCaption) {
    const QString saved = QApplication::applicationName();
    qmt::SetApplicationTitle();
    EXPECT_EQ(QApplication::applicationName(), QStringLiteral("QMT584_View"));
    EXPECT_EQ(QApplication::applicationDisplayName(), QStringLiteral("QMT584_View"));
    // No display name of its own: the window system would append it to every
    // caption, "Параметры порта" becoming "Параметры порта — QMT584_View".
    QApplication::setApplicationName(QStringLiteral("probe"));
    EXPECT_EQ(QApplication::applicationDisplayName(), QStringLiteral("probe"));
    QApplication::setApplicationName(saved);
}

} // namespace
