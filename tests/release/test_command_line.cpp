// The command line of the three programs, run from the build folder without a
// display: --help and --version answer on standard output with exit 0, a
// refused command line gives one line on standard error and exit 2, and the
// toolkit's own options pass.
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Result {
    int exitCode = -1;
    QString out, err;
};

Result run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(PROGRAM_DIR "/") + program, args);
    Result r;
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("did not end");
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

std::vector<QString> programs() {
    std::vector<QString> list{QStringLiteral("QMT584_View"), QStringLiteral("qmt584-sim")};
    if (HAS_CURVIX) list.push_back(QStringLiteral("curvix"));
    return list;
}

TEST(CommandLine, VersionIsTheNameAndTheProjectVersion) {
    for (const QString& program : programs()) {
        const Result r = run(program, {QStringLiteral("--version")});
        EXPECT_EQ(r.exitCode, 0) << program.toStdString() << r.err.toStdString();
        EXPECT_EQ(r.out, program + QStringLiteral(" " PROJECT_VERSION "\n"))
            << program.toStdString();
        EXPECT_EQ(r.err, QString()) << program.toStdString();
    }
}

TEST(CommandLine, HelpGivesTheUsageWhatItIsAndTheOptions) {
    for (const QString& program : programs()) {
        for (const char* option : {"--help", "-h"}) {
            const Result r = run(program, {QLatin1String(option)});
            const std::string name = program.toStdString() + " " + option;
            EXPECT_EQ(r.exitCode, 0) << name << r.err.toStdString();
            const QStringList lines = r.out.split(QLatin1Char('\n'));
            ASSERT_GE(lines.size(), 3) << name;
            EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Usage: ") + program + QLatin1Char(' '),
                                            Qt::CaseInsensitive))
                << name << ": " << lines[0].toStdString();
            // What it is, in a sentence of one line.
            EXPECT_TRUE(r.out.contains(QRegularExpression(QStringLiteral("\n[A-Z][^\n]+\\.\n\n"))))
                << name;
            EXPECT_TRUE(r.out.contains(QStringLiteral("--version"))) << name;
            EXPECT_TRUE(r.out.contains(QStringLiteral("--help"))) << name;
        }
    }
}

TEST(CommandLine, ARefusedCommandLineIsOneLineAndExitTwo) {
    const struct {
        const char* program;
        QStringList args;
    } cases[] = {
        {"QMT584_View", {QStringLiteral("--bogus")}},
        {"QMT584_View", {QStringLiteral("-x")}},
        {"QMT584_View", {QStringLiteral("settings.ini")}},
        {"QMT584_View", {QStringLiteral("-style")}}, // lacks its value
        {"qmt584-sim", {QStringLiteral("--bogus")}},
        {"qmt584-sim",
         {QStringLiteral("--link"), QStringLiteral("/tmp/x"), QStringLiteral("--baud"),
          QStringLiteral("1234")}},
        {"curvix", {QStringLiteral("--bogus")}},
        {"curvix", {QStringLiteral("a.log"), QStringLiteral("b.log")}},
        // After "--" everything is an argument: one file and a second one.
        {"curvix", {QStringLiteral("--"), QStringLiteral("-a.log"), QStringLiteral("--help")}},
    };
    for (const auto& c : cases) {
        const QString program = QLatin1String(c.program);
        if (program == QStringLiteral("curvix") && !HAS_CURVIX) continue;
        const Result r = run(program, c.args);
        const std::string name = program.toStdString() + " " + c.args.join(' ').toStdString();
        EXPECT_EQ(r.exitCode, 2) << name;
        EXPECT_EQ(r.out, QString()) << name;
        EXPECT_EQ(r.err.count(QLatin1Char('\n')), 1) << name << ": " << r.err.toStdString();
        EXPECT_TRUE(r.err.startsWith(program + QStringLiteral(": "))) << name;
        EXPECT_TRUE(r.err.endsWith(QStringLiteral("\n"))) << name;
    }
}

TEST(CommandLine, TheToolkitsOwnOptionsPass) {
    const struct {
        const char* program;
        QStringList args;
    } cases[] = {
        {"QMT584_View",
         {QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("--version")}},
        {"QMT584_View",
         {QStringLiteral("--style=Fusion"), QStringLiteral("-reverse"),
          QStringLiteral("--version")}},
        {"curvix", {QStringLiteral("-platform=offscreen"), QStringLiteral("--version")}},
    };
    for (const auto& c : cases) {
        const QString program = QLatin1String(c.program);
        if (program == QStringLiteral("curvix") && !HAS_CURVIX) continue;
        const Result r = run(program, c.args);
        const std::string name = program.toStdString() + " " + c.args.join(' ').toStdString();
        EXPECT_EQ(r.exitCode, 0) << name << ": " << r.err.toStdString();
        EXPECT_EQ(r.out, program + QStringLiteral(" " PROJECT_VERSION "\n")) << name;
    }
}

} // namespace
