// Link supervision: the check, the automatic read on each rising edge, and no
// message storms while the module misbehaves.
#include "PidConfFixture.h"
#include "TryExpect.h"

#include "TextFit.h"
#include "link/Errors.h"
#include "link/PortStatus.h"
#include "link/RegisterMap.h"

#include <QApplication>
#include <QDir>
#include <QLayout>
#include <QStatusBar>

#include <utility>

namespace qmt::test {
namespace {

using Strings = std::vector<std::string>;

int checks(const FakeModule& m) {
    int n = 0;
    for (const Request& r : m.log)
        n += r.function == 3 && r.address == reg::LinkCheck && r.count == 1;
    return n;
}

int configReads(const FakeModule& m) {
    int n = 0;
    for (const Request& r : m.log)
        n += r.function == 3 && r.address == reg::PidBlock(0);
    return n;
}

TEST_F(PidConfTest, RisingEdgeReadsTheConfigurationOnce) {
    module.setReg(reg::PidWord(0, reg::pid::InSw), 5);
    module.setReg(reg::ModuleMode, 1);
    window->tmLinkTimer();
    EXPECT_TRUE(LinkUp);
    ASSERT_FALSE(module.log.empty());
    EXPECT_EQ(requests().front(), "3:1024:1");
    EXPECT_EQ(module.log.front().station, PortSettings.address);
    EXPECT_EQ(configReads(module), 1);
    // The flag was still clear during the read: the switches sent nothing back.
    EXPECT_TRUE(module.writes().empty());
    EXPECT_EQ(group("swpid1")->itemIndex(), 3);
    EXPECT_EQ(group("rgMode")->itemIndex(), 0);
    EXPECT_TRUE(window->linkTimer()->isActive());

    module.clearLog();
    window->tmLinkTimer();
    EXPECT_EQ(requests(), (Strings{"3:1024:1"}));
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(PidConfTest, SilentModuleClearsTheFlagQuietly) {
    window->tmLinkTimer();
    ASSERT_TRUE(LinkUp);
    module.clearLog();
    module.silent = true;
    window->tmLinkTimer();
    EXPECT_FALSE(LinkUp);
    EXPECT_EQ(requests(), (Strings{"3:1024:1", "3:1024:1"})); // two attempts, no retries beyond
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_TRUE(window->linkTimer()->isActive());

    // One answer in two attempts is enough.
    module.silent = false;
    module.failNext(14);
    module.clearLog();
    window->tmLinkTimer();
    EXPECT_TRUE(LinkUp);
    EXPECT_EQ(checks(module), 2);
}

TEST_F(PidConfTest, LossAndReturnReadAgain) {
    window->tmLinkTimer();
    module.silent = true;
    window->tmLinkTimer();
    window->tmLinkTimer();
    module.silent = false;
    module.setReg(reg::OutputSource, 3);
    module.clearLog();
    window->tmLinkTimer();
    EXPECT_EQ(configReads(module), 1);
    EXPECT_EQ(group("swout")->itemIndex(), 3);
    EXPECT_TRUE(LinkUp);
}

TEST_F(PidConfTest, FailingReadIsShownOnceAndNotRepeated) {
    bool timerRanDuringMessage = false;
    prompts.shown.clear();
    prompts.onMessage = [&](const MessageBoxRequest&) {
        if (window->linkTimer()->isActive()) timerRanDuringMessage = true;
    };
    module.failWhen = [](const Request& r) { return r.address == reg::PidBlock(1) ? 14 : 0; };
    for (int tick = 0; tick < 4; ++tick)
        window->tmLinkTimer();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, ECommError::messageFor(14));
    EXPECT_EQ(prompts.shown[0].caption, QStringLiteral("QMT584_View"));
    EXPECT_FALSE(timerRanDuringMessage);
    EXPECT_TRUE(LinkUp);
    EXPECT_EQ(configReads(module), 1);
    EXPECT_TRUE(window->linkTimer()->isActive());
}

TEST_F(PidConfTest, OtherFailureOfTheReadIsShownOnceAndTheTimerGoesOn) {
    // The first message box raises, as any other failure inside the read might.
    bool raised = false;
    prompts.shown.clear();
    prompts.onMessage = [&](const MessageBoxRequest&) {
        if (!std::exchange(raised, true)) throw Exception(QStringLiteral("сбой"));
    };
    module.setReg(reg::PidWord(2, reg::pid::InSw), 3); // ShowConfig reports it, and that raises
    window->tmLinkTimer();
    window->tmLinkTimer();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("сбой"));
    EXPECT_TRUE(LinkUp);
    EXPECT_EQ(configReads(module), 1);
    EXPECT_TRUE(window->linkTimer()->isActive());
}

TEST_F(PidConfTest, TimerReadsByItselfWhenTheModuleAnswers) {
    window->linkTimer()->start();
    QMT_TRY_ASSERT_TIMEOUT(LinkUp, 5000);
    EXPECT_EQ(configReads(module), 1);
    EXPECT_TRUE(window->linkTimer()->isActive());
}

TEST_F(PidConfTest, StatusBarShowsThePort) {
    auto* glyph = window->findChild<QLabel*>(QStringLiteral("PortStatusGlyph"));
    auto* text = window->findChild<QLabel*>(QStringLiteral("PortStatusText"));
    ASSERT_TRUE(glyph && text);
    EXPECT_EQ(glyph->width(), 24);
    EXPECT_EQ(text->width(), 300);
    // The fake opened the default port at construction.
    EXPECT_EQ(text->text(), QStringLiteral("Открыт: /dev/ttyS0  19200 бод   Even"));
    EXPECT_EQ(glyph->pixmap().toImage(), PortStatusImage(LampGreen).toImage());
    window->UpdatePortStatus(false);
    EXPECT_TRUE(text->text().startsWith(QStringLiteral("Закрыт: ")));
    EXPECT_EQ(glyph->pixmap().toImage(), PortStatusImage(LampRed).toImage());
}

// The link pane follows the supervision, so a write that stayed offline has
// its reason in sight; the port pane alone says "Открыт" all the while.
TEST_F(PidConfTest, LinkPaneShowsWhetherTheModuleAnswers) {
    auto* pane = window->findChild<QLabel*>(QStringLiteral("StatusLink"));
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(pane->parentWidget(), window->statusBar());
    const QColor green(0, 128, 0), red(192, 0, 0);
    auto colour = [pane] { return pane->palette().color(QPalette::WindowText); };
    EXPECT_EQ(pane->text(), QStringLiteral("Нет связи с модулем"));
    EXPECT_EQ(colour(), red);

    const struct {
        bool silent;
        const char* text;
        QColor colour;
    } ticks[] = {{false, "Связь с модулем есть", green},
                 {false, "Связь с модулем есть", green},
                 {true, "Нет связи с модулем", red},
                 {false, "Связь с модулем есть", green}};
    for (const auto& t : ticks) {
        module.silent = t.silent;
        window->tmLinkTimer();
        EXPECT_EQ(LinkUp, !t.silent);
        EXPECT_EQ(pane->text(), QString::fromUtf8(t.text)) << t.silent;
        EXPECT_EQ(colour(), t.colour) << t.silent;
    }
    EXPECT_TRUE(window->findChild<QLabel*>(QStringLiteral("PortStatusText"))
                    ->text()
                    .startsWith(QStringLiteral("Открыт: ")));
}

// All three panes stand whole inside the bar, also beside a long port path;
// a path too long for any room is shortened and whole in its tool tip.
TEST_F(PidConfTest, TheStatusBarHoldsAllItsPanes) {
    window->show();
    const QString paths[] = {
        QStringLiteral("/dev/ttyS0"),
        QStringLiteral("/tmp/qmt584-demo.a81Xc2/ttySIM"),
        QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10KZP3X-if00-port0-and-more-"
                       "and-more-and-more"),
    };
    QStatusBar* bar = window->statusBar();
    auto* text = window->findChild<QLabel*>(QStringLiteral("PortStatusText"));
    for (const QString& path : paths) {
        PortSettings.portName = path;
        window->UpdatePortStatus(true);
        for (bool up : {false, true}) {
            LinkUp = up;
            window->UpdateLinkStatus();
            QApplication::sendPostedEvents();
            bar->layout()->activate();
            for (const char* name : {"PortStatusGlyph", "PortStatusText", "StatusLink"}) {
                auto* pane = window->findChild<QLabel*>(QLatin1String(name));
                ASSERT_NE(pane, nullptr);
                EXPECT_TRUE(pane->isVisible()) << name;
                EXPECT_TRUE(bar->rect().contains(pane->geometry())) << name << " " << path.size();
            }
            EXPECT_EQ(clippedTextReport(window.get()), "") << path.toStdString();
        }
        EXPECT_TRUE(text->toolTip().startsWith(PortStatusText(true) + QLatin1Char('\n')))
            << text->toolTip().toStdString();
    }
    EXPECT_NE(text->text(), PortStatusText(true)); // the last path was shortened
    QLabel* link = window->findChild<QLabel*>(QStringLiteral("StatusLink"));
    EXPECT_LT(text->geometry().right(), link->geometry().left());

    const QByteArray target = qgetenv("QMT_GRAB_DIR");
    if (!target.isEmpty()) {
        PortSettings.portName = paths[1];
        window->UpdatePortStatus(true);
        for (bool up : {false, true}) {
            LinkUp = up;
            window->UpdateLinkStatus();
            QApplication::sendPostedEvents();
            window->grab().save(QDir(QString::fromLocal8Bit(target))
                                    .filePath(up ? "PidConfLinkUp.png" : "PidConfLinkDown.png"));
        }
    }
}

TEST_F(PidConfTest, PortThatDoesNotOpenAtStartShowsClosed) {
    module.initCommResult = 11;
    prompts.shown.clear();
    QTemporaryDir other;
    QFile ini(other.filePath(QStringLiteral("s.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Port]\nName=/dev/nothing\nBaud=9600\nParity=0\n[Station]\nAddress=7\n");
    ini.close();
    TPidConf second(nullptr, ini.fileName());
    second.linkTimer()->stop();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("Невозможно открыть /dev/nothing"));
    EXPECT_EQ(second.findChild<QLabel*>(QStringLiteral("PortStatusText"))->text(),
              QStringLiteral("Закрыт: /dev/nothing  9600 бод   None"));
    EXPECT_EQ(PortSettings.address, 7);
    EXPECT_EQ(module.opens.back().port, "/dev/nothing");
}

} // namespace
} // namespace qmt::test
