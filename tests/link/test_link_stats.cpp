// Link statistics: what each status counts as, the register access layer's
// attempts, zeroing at a port's opening and by the button, and the window.
// Network ports in the port dialog: speed, parity and the search give way.
#include "Controls.h"
#include "FakeModule.h"
#include "FakeUi.h"
#include "TextFit.h"
#include "TryExpect.h"
#include "link/Errors.h"
#include "link/LinkStats.h"
#include "link/PortSettings.h"
#include "link/RegisterAccess.h"
#include "link/Settings.h"
#include "link/TLinkStats.h"
#include "link/TParCOM.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using qmt::test::Controls;
using qmt::test::FakeClock;
using qmt::test::FakeModule;
using qmt::test::FakePrompts;

class LinkStats : public ::testing::Test {
protected:
    void SetUp() override { qmt::ResetLinkStatistics(); }
    FakeModule module;
    FakePrompts prompts;
    FakeClock clock;
};

QString labelText(QWidget& window, const char* name) {
    auto* label = window.findChild<QLabel*>(QString::fromLatin1(name));
    EXPECT_NE(label, nullptr) << name;
    return label ? label->text() : QString();
}

} // namespace

TEST_F(LinkStats, EachStatusCountsWhereItBelongs) {
    struct Case {
        int32_t status;
        uint64_t good, noAnswer, crc, exceptions, other;
    } cases[] = {
        {0, 1, 0, 0, 0, 0},  {14, 0, 1, 0, 0, 0}, {17, 0, 0, 1, 0, 0},  {2, 0, 0, 0, 1, 0},
        {8, 0, 0, 0, 1, 0},  {24, 0, 0, 0, 1, 0}, {200, 0, 0, 0, 1, 0}, {15, 0, 0, 0, 0, 1},
        {18, 0, 0, 0, 0, 1}, {19, 0, 0, 0, 0, 1}, {23, 0, 0, 0, 0, 1},  {25, 0, 0, 0, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        qmt::ResetLinkStatistics();
        qmt::CountTransaction(c.status, 12ms);
        const qmt::LinkStatistics& s = qmt::linkStatistics();
        EXPECT_EQ(s.requests, 1u);
        EXPECT_EQ(s.good, c.good);
        EXPECT_EQ(s.noAnswer, c.noAnswer);
        EXPECT_EQ(s.crcErrors, c.crc);
        EXPECT_EQ(s.exceptionCount(), c.exceptions);
        if (c.exceptions) {
            EXPECT_EQ(s.exceptions.at(c.status), 1u);
        }
        EXPECT_EQ(s.otherErrors, c.other);
        EXPECT_EQ(s.lastError, c.status);
        EXPECT_EQ(s.lastErrorAt.isValid(), c.status != 0);
    }
}

TEST_F(LinkStats, ResponseTimesOfGoodRepliesOnly) {
    qmt::CountTransaction(0, 10ms);
    qmt::CountTransaction(0, 30ms);
    qmt::CountTransaction(14, 600ms); // a time-out is no response time
    const qmt::LinkStatistics& s = qmt::linkStatistics();
    EXPECT_DOUBLE_EQ(s.meanMs(), 20.0);
    EXPECT_DOUBLE_EQ(s.maxMs, 30.0);
    EXPECT_EQ(s.requests, 3u);
}

TEST_F(LinkStats, EveryAttemptOfTheRegisterLayerCounts) {
    module.failNext(17);
    module.failNext(2);
    uint16_t word = 0;
    qmt::ReadRegisters(0, 1, &word); // the third attempt succeeds
    EXPECT_THROW(qmt::ReadRegisters(0x7000, 1, &word), qmt::ECommError);
    const qmt::LinkStatistics& s = qmt::linkStatistics();
    EXPECT_EQ(s.requests, 6u);
    EXPECT_EQ(s.good, 1u);
    EXPECT_EQ(s.crcErrors, 1u);
    EXPECT_EQ(s.exceptions.at(2), 4u); // one scripted, three from the unmapped address
    EXPECT_EQ(s.lastError, 2);
}

TEST_F(LinkStats, OpeningAPortStartsTheCountsAgain) {
    qmt::CountTransaction(14, 1ms);
    clock.current = clock.current.addSecs(90);
    ASSERT_TRUE(qmt::OpenPort(QStringLiteral("tcp://127.0.0.1:1502"), 19200, 2));
    EXPECT_EQ(qmt::linkStatistics().requests, 0u);
    EXPECT_EQ(qmt::linkStatistics().since, clock.current);
    EXPECT_EQ(qmt::linkStatistics().sinceWhat, qmt::CountsSince::PortOpened);
    module.initCommResult = 11; // a failed opening leaves them
    qmt::CountTransaction(14, 1ms);
    EXPECT_FALSE(qmt::OpenPort(QStringLiteral("/dev/none"), 19200, 2));
    EXPECT_EQ(qmt::linkStatistics().requests, 1u);
}

TEST_F(LinkStats, TheWindowShowsTheCountsAndZeroesThem) {
    qmt::CountTransaction(0, 4ms);
    qmt::CountTransaction(2, 5ms);
    qmt::CountTransaction(14, 200ms);
    TLinkStats window;
    window.show();
    EXPECT_EQ(window.objectName(), QStringLiteral("LinkStats"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Статистика связи"));
    EXPECT_EQ(labelText(window, "lbStatRequests"), QStringLiteral("3"));
    EXPECT_EQ(labelText(window, "lbStatGood"), QStringLiteral("1"));
    EXPECT_EQ(labelText(window, "lbStatNoAnswer"), QStringLiteral("1"));
    EXPECT_EQ(labelText(window, "lbStatExceptions"),
              QStringLiteral("1\nкод 2 (Недопустимый адрес данных): 1"));
    EXPECT_TRUE(labelText(window, "lbStatLastError").startsWith(QStringLiteral("Нет ответа!")));
    // Counts that change while it is open show up without a click.
    qmt::CountTransaction(17, 5ms);
    QMT_TRY_ASSERT_TIMEOUT(labelText(window, "lbStatCrc") == QStringLiteral("1"), 3000);
    EXPECT_EQ(labelText(window, "lbStatCrc"), QStringLiteral("1"));

    EXPECT_EQ(qmt::test::clippedTextReport(&window), "");
    if (const QByteArray dir = qgetenv("QMT_GRAB_DIR"); !dir.isEmpty())
        window.grab().save(QDir(QString::fromLocal8Bit(dir)).filePath("link-stats.png"));

    // The first row says what started the counts; the times say what they hold.
    EXPECT_EQ(labelText(window, "lbStatSinceCaption"), QStringLiteral("Порт открыт"));
    for (const char* name : {"lbStatMeanTimeCaption", "lbStatMaxTimeCaption"}) {
        EXPECT_TRUE(labelText(window, name).contains(QStringLiteral("с паузой"))) << name;
        EXPECT_TRUE(window.findChild<QLabel*>(QString::fromLatin1(name))
                        ->toolTip()
                        .contains(QStringLiteral("смена приоритета")));
    }
    clock.current = QDateTime(QDate(2026, 3, 4), QTime(10, 20, 30));
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("btStatReset")),
                      Qt::LeftButton);
    EXPECT_EQ(labelText(window, "lbStatSinceCaption"), QStringLiteral("Обнулено"));
    EXPECT_EQ(labelText(window, "lbStatSince"), QStringLiteral("04.03.2026 10:20:30"));
    EXPECT_EQ(qmt::linkStatistics().requests, 0u);
    EXPECT_EQ(labelText(window, "lbStatRequests"), QStringLiteral("0"));
    EXPECT_EQ(labelText(window, "lbStatLastError"), QStringLiteral("нет"));
    EXPECT_TRUE(qmt::LinkStatisticsSummary().startsWith(QStringLiteral("Запросов: 0, ")));
}

class NetworkPortDialog : public LinkStats {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        qmt::setSettingsFilePath(dir.filePath(QStringLiteral("QMT584_View.ini")));
        qmt::PortSettings = {QStringLiteral("/dev/ttyUSB0"), 57600, 1, 17};
    }
    void TearDown() override {
        qmt::setSettingsFilePath(QString());
        qmt::PortSettings = {};
    }
    QTemporaryDir dir;
};

TEST_F(NetworkPortDialog, LineControlsGiveWayToTheGateway) {
    TParCOM dialog;
    Controls ui{dialog};
    const char* lineControls[] = {"cbSpeed", "cbParity"};
    for (const char* address : {"tcp://127.0.0.1:502", "rtu+tcp://[::1]:4001"}) {
        SCOPED_TRACE(address);
        ui.type("cbPort", QString::fromLatin1(address));
        if (const QByteArray dir = qgetenv("QMT_GRAB_DIR"); !dir.isEmpty()) {
            dialog.show();
            dialog.grab().save(QDir(QString::fromLocal8Bit(dir)).filePath("parcom-network.png"));
        }
        for (const char* name : lineControls) {
            EXPECT_FALSE(ui.combo(name)->isEnabled()) << name;
            EXPECT_EQ(ui.combo(name)->toolTip(),
                      QStringLiteral("Скорость и четность линии задает шлюз"));
        }
        EXPECT_FALSE(ui.button("btAuto")->isEnabled());
        EXPECT_FALSE(ui.button("btAuto")->toolTip().isEmpty());
        ui.type("cbPort", QStringLiteral("/dev/ttyUSB1"));
        for (const char* name : lineControls)
            EXPECT_TRUE(ui.combo(name)->isEnabled()) << name;
        EXPECT_TRUE(ui.button("btAuto")->isEnabled());
        EXPECT_TRUE(ui.button("btAuto")->toolTip().isEmpty());
    }
}

TEST_F(NetworkPortDialog, ANetworkAddressIsOpenedAndKeptAsThePortName) {
    qmt::PortSettings.portName = QStringLiteral("tcp://127.0.0.1:1502");
    TParCOM dialog;
    Controls ui{dialog};
    // Shown as stored, the line controls already off, the list still rebuilt.
    EXPECT_FALSE(ui.combo("cbSpeed")->isEnabled());
    dialog.cbPortDropDown();
    EXPECT_EQ(ui.combo("cbPort")->currentText(), QStringLiteral("tcp://127.0.0.1:1502"));
    ui.type("cbPort", QStringLiteral("rtu+tcp://127.0.0.1:4001"));
    ui.click("btOk");
    ASSERT_TRUE(dialog.accepted());
    ASSERT_EQ(module.opens.size(), 1u);
    EXPECT_EQ(module.opens[0].port, "rtu+tcp://127.0.0.1:4001");
    EXPECT_EQ(qmt::PortSettings.portName, QStringLiteral("rtu+tcp://127.0.0.1:4001"));
    // Speed and parity are kept as they were for a later serial port.
    EXPECT_EQ(qmt::PortSettings.baud, 57600);
    EXPECT_EQ(qmt::PortSettings.parity, 1);
    QFile file(qmt::SettingsFilePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("Name=rtu+tcp://127.0.0.1:4001"));
}
