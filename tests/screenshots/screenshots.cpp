// Pictures of every window for the README: the program against qmt584-sim
// with the real library, offscreen, each dialog opened the way its menu
// command or block opens it and grabbed while it is up; curvix's window fed
// with the values the values window read from the simulator.
//
//   build/qmt_screenshots OUTPUT_DIR        (scripts/screenshots runs it)
#include "FakeUi.h"
#include "LinkSettings.h"
#include "ScaledClock.h"

#include "calib/TCalibr1.h"
#include "common/Cp1251.h"
#include "common/TrendProtocol.h"
#include "config/ClickablePanel.h"
#include "config/ModuleConfig.h"
#include "config/TPidConf.h"
#include "dialogs/TAboutBox.h"
#include "dialogs/TInParam.h"
#include "dialogs/TModPars.h"
#include "dialogs/TPassword.h"
#include "dialogs/TPidParam.h"
#include "dialogs/TfOutParam.h"
#include "link/Forms.h"
#include "link/Library.h"
#include "link/PortSettings.h"
#include "link/Startup.h"
#include "link/TParCOM.h"
#include "link/RegisterAccess.h"
#include "monitor/TPidVal.h"
#include "testing/SimProcess.h"
#include "tune/TTune.h"
#include "ui/CurvixWindow.h"

#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <cstdlib>

namespace {

QString outDir;
int failures = 0;

void settle(int ms = 150) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

void save(QWidget* w, const char* name) {
    settle();
    const QString path = outDir + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png");
    if (!w->grab().save(path)) {
        std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(path));
        ++failures;
        return;
    }
    std::printf("screenshots: %s\n", qPrintable(path));
}

// A modal run that shows the dialog, grabs it and closes it again.
std::function<int(QDialog*)> grabModal(const char* name,
                                       std::function<void(QDialog*)> prepare = {}) {
    return [name, prepare](QDialog* d) {
        d->show();
        if (prepare) prepare(d);
        save(d, name);
        d->hide();
        return int(QDialog::Rejected);
    };
}

// Grabs a window from inside one of the waits of a blocking command, as it
// stands then: no event is processed, so no timer runs in the middle of it.
class GrabAtWait final : public qmt::Clock {
public:
    GrabAtWait(int wait, QWidget* window, const char* name)
        : real_(qmt::clock()), wait_(wait), window_(window), name_(name) {
        qmt::setClock(this);
    }
    ~GrabAtWait() override { qmt::setClock(nullptr); }
    QDateTime now() override { return real_.now(); }
    void sleepMs(int ms) override {
        if (++waits_ == wait_) {
            const QString path =
                outDir + QLatin1Char('/') + QLatin1String(name_) + QStringLiteral(".png");
            if (window_->grab().save(path)) {
                std::printf("screenshots: %s\n", qPrintable(path));
            } else {
                std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(path));
                ++failures;
            }
        }
        real_.sleepMs(ms);
    }

private:
    qmt::Clock& real_;
    int wait_;
    int waits_ = 0;
    QWidget* window_;
    const char* name_;
};

// The tuning window after a bump test on a plant of 20 s with 4 s of dead
// time, its clock running with the simulator's (20 times the wall clock).
void shootTuning() {
    qmt::sim::SimProcess plant;
    const QString link = QString::fromStdString(
        plant.start({"--baud", "19200", "--parity", "even", "--plant", "1:0.8,20,4", "--load", "0",
                     "--noise", "3", "--time-scale", "20"}));
    if (link.isEmpty() || !qmt::OpenPort(link, 19200, 2)) {
        std::fprintf(stderr, "screenshots: tuning: no simulator\n");
        ++failures;
        return;
    }
    qmt::PortSettings = {link, 19200, 2, 1};
    qmt::test::ScaledClock clock(20);
    qmt::WriteRegister(1044, 500); // held in forced output at Y 500
    qmt::WriteRegister(274, 1);
    settle(1500);
    TTune tune;
    tune.show();
    qmt::guarded([&] { tune.btReadClick(); });
    tune.findChild<QLineEdit*>(QStringLiteral("edStep"))->setText(QStringLiteral("1000"));
    tune.findChild<QLineEdit*>(QStringLiteral("edMaxTime"))->setText(QStringLiteral("900"));
    tune.findChild<QPushButton*>(QStringLiteral("btStart"))->click();
    QElapsedTimer waited;
    waited.start();
    while (tune.test().phase() != qmt::tune::BumpTest::Phase::Done && waited.elapsed() < 60000)
        settle(100);
    save(&tune, "tuning-window");
    plant.stop();
}

} // namespace

int main(int argc, char** argv) {
    // curvix's window starts from no kept settings, whatever the user's are.
    QTemporaryDir config;
    setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);
    qmt::PrepareApplication();
    outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
    QDir().mkpath(outDir);
    qmt::test::FakePrompts prompts;
    if (!qmt::BindLibrary(VORNLINK_FILE)) return 2;

    QTemporaryDir dir;
    qmt::sim::SimProcess sim;
    // Three stations on the line, for the station list.
    const QString link = QString::fromStdString(
        sim.start({"--baud", "19200", "--parity", "even", "--address", "1,5,9"}));
    if (link.isEmpty()) {
        std::fprintf(stderr, "screenshots: simulator: %s\n", sim.error().c_str());
        return 2;
    }
    // A configuration worth a picture: ПИД1 on the Modbus set point driving the
    // output, ПИД2 after ПИД1.
    for (const char* cmd : {"set 264 0", "set 280 1", "set 265 1500", "set 312 1"})
        sim.sendControl(cmd);
    const QString ini = qmt::test::writeLinkSettings(dir, link, 19200);
    if (ini.isEmpty()) {
        std::fprintf(stderr, "screenshots: cannot write the settings file\n");
        return 2;
    }

    PidConf = new TPidConf(nullptr, ini);
    Password = new TPassword;
    PidParam = new TPidParam;
    Calibr1 = new TCalibr1;
    InParam = new TInParam;
    PidVal = new TPidVal;
    fOutParam = new TfOutParam;
    PidConf->show();
    QElapsedTimer waited;
    waited.start();
    while (!qmt::LinkUp && waited.elapsed() < 10000)
        app.processEvents(QEventLoop::WaitForMoreEvents, 100);
    save(PidConf, "main-window");
    {
        // The status bar in the middle of "Записать конфигурацию ПИД".
        const GrabAtWait grab(23, PidConf, "main-window-writing");
        qmt::guarded([] { PidConf->miWriteConfClick(); });
    }
    save(PidConf, "main-window-written");

    // The traffic monitor over a configuration read.
    PidConf->miTrafficMonitorClick();
    if (auto* monitor = PidConf->findChild<QDialog*>(QStringLiteral("TrafficMonitor"))) {
        qmt::guarded([] { PidConf->miReadConfClick(); });
        save(monitor, "traffic-monitor");
        monitor->hide();
    }
    // Two set points changed in the window: the list "Записать изменения" shows.
    qmt::Config.pid[0].w[1] = 2500;
    qmt::Config.pid[1].w[1] = 800;
    prompts.modalScripts.push_back(grabModal("config-changes"));
    qmt::guarded([] { PidConf->miWriteChangesClick(); });
    // The station list of the line, over the first twelve addresses.
    PidConf->miStationScanClick();
    if (auto* scan = PidConf->findChild<QDialog*>(QStringLiteral("StationScan"))) {
        scan->findChild<QSpinBox*>(QStringLiteral("edTo"))->setValue(12);
        scan->findChild<QPushButton*>(QStringLiteral("btStart"))->click();
        QElapsedTimer scanning;
        scanning.start();
        while (scan->findChild<QPushButton*>(QStringLiteral("btStop"))->isEnabled() &&
               scanning.elapsed() < 10000)
            app.processEvents(QEventLoop::AllEvents, 50);
        save(scan, "station-scan");
        scan->hide();
    }

    prompts.modalScripts.push_back(grabModal("port-dialog"));
    PidConf->miPortParClick();
    // The link's counts after the start-up's reads: a window of its own.
    PidConf->miLinkStatsClick();
    if (auto* stats = PidConf->findChild<QDialog*>(QStringLiteral("LinkStats"))) {
        save(stats, "link-statistics");
        stats->hide();
    }
    prompts.modalScripts.push_back(grabModal("pid-parameters"));
    PidConf->pidClick(PidConf->findChild<qmt::ClickablePanel*>(QStringLiteral("pid1")));
    prompts.modalScripts.push_back(grabModal("input-parameters"));
    PidConf->paFBClick(PidConf->findChild<qmt::ClickablePanel*>(QStringLiteral("paFB1")));
    prompts.modalScripts.push_back(grabModal("output-parameters"));
    PidConf->OutClick();
    prompts.modalScripts.push_back(grabModal("service-settings"));
    PidConf->miComServParClick();
    prompts.modalScripts.push_back(grabModal("about"));
    PidConf->mmAboutClick();

    // Calibration: the password, the warning, then the wizard's first step.
    prompts.modalScripts.push_back([](QDialog* d) {
        auto* password = qobject_cast<TPassword*>(d);
        if (!password) return int(QDialog::Rejected);
        password->show();
        password->edPass->setText(QStringLiteral("ключ"));
        save(password, "password");
        password->setResult(QDialog::Rejected);
        password->btOK->click();
        return password->result();
    });
    prompts.answers.push_back(QMessageBox::Yes);
    prompts.modalScripts.push_back(grabModal("calibration-step"));
    qmt::guarded([] { PidConf->miComCalibClick(); });

    // The values window after a few read cycles, collapsed and expanded.
    prompts.modalScripts.push_back([](QDialog* d) {
        d->show();
        for (int i = 0; i < 3; ++i)
            qmt::guarded([] { PidVal->btReadClick(); });
        save(d, "values-window");
        PidVal->btAdvanced->click();
        save(d, "values-window-expanded");
        PidVal->btAdvanced->click();
        d->hide();
        return int(QDialog::Rejected);
    });
    PidConf->miComModVarClick();

    // curvix with what the values window reads: ПИД1's set point, measured
    // value and output over half a minute of the regulator settling after a
    // step, measured between cursors before the step and at the end.
    curvix::CurvixWindow viewer;
    viewer.resize(1280, 720);
    viewer.show();
    std::vector<curvix::Record> records;
    records.push_back(curvix::decodeRecord(curvix::beginRecord()));
    for (int row = 1; row <= 3; ++row) {
        const MonitorChannel& ch = PidVal->RegChannels[0][row - 1];
        records.push_back(curvix::decodeRecord(
            curvix::channelRecord(ch.id, qmt::toCp1251(ch.name).toStdString())));
    }
    records.push_back(curvix::decodeRecord(curvix::startRecord()));
    QDateTime stamp = QDateTime::currentDateTime();
    for (int cycle = 0; cycle < 60; ++cycle) {
        if (cycle == 12) sim.sendControl("set 265 6000");
        qmt::guarded([] { PidVal->btReadClick(); });
        for (int row = 1; row <= 3; ++row) {
            const MonitorChannel& ch = PidVal->RegChannels[0][row - 1];
            curvix::StampFields s;
            const QDate day = stamp.date();
            const QTime time = stamp.time();
            s = {uint16_t(day.year()),    uint16_t(day.month()), uint16_t(day.dayOfWeek() % 7),
                 uint16_t(day.day()),     uint16_t(time.hour()), uint16_t(time.minute()),
                 uint16_t(time.second()), uint16_t(time.msec())};
            records.push_back(curvix::decodeRecord(
                curvix::sampleRecord(ch.id, PidVal->stateText(1, row).toFloat(), s)));
        }
        stamp = stamp.addMSecs(500);
        QThread::msleep(500);
    }
    viewer.applyRecords(records);
    viewer.showFullView();
    viewer.setCursorAt(1, viewer.dataset().firstTime() + 5 * 500);
    viewer.setCursorAt(2, viewer.dataset().lastTime());
    viewer.refresh();
    viewer.replotNow();
    save(&viewer, "curvix");

    sim.stop();
    shootTuning();

    delete fOutParam;
    delete PidVal;
    delete InParam;
    delete Calibr1;
    delete PidParam;
    delete Password;
    delete PidConf;
    return failures ? 1 : 0;
}
