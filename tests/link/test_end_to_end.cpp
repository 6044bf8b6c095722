// The program's link pieces with the real libvornlink.so against qmt584-sim on
// a pseudo-terminal: opening the port, the status line, register reads, and
// the automatic search finding a module at settings nobody told the program.
#include "Controls.h"
#include "FakeUi.h"
#include "SimulatorFixture.h"
#include "link/Errors.h"
#include "link/Library.h"
#include "link/PortAccess.h"
#include "link/PortSettings.h"
#include "link/PortStatus.h"
#include "link/RegisterAccess.h"
#include "link/RegisterMap.h"
#include "link/TParCOM.h"

#include <QFile>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using qmt::test::Controls;

class EndToEnd : public qmt::test::OnSimulator<> {
protected:
    void SetUp() override {
        OnSimulator::SetUp();
        qmt::setSettingsFilePath(dir.filePath(QStringLiteral("QMT584_View.ini")));
    }
};

TEST_F(EndToEnd, OpenPortReadsTheModuleAndTheStatusLineFollows) {
    const QString link = start({"--baud", "19200", "--parity", "even", "--address", "5"});
    qmt::PortSettings = {link, 19200, 2, 5};
    const bool open = qmt::OpenPort(link, 19200, 2);
    ASSERT_TRUE(open) << prompts.lastText().toStdString();
    EXPECT_EQ(qmt::PortStatusText(open), QStringLiteral("Открыт: ") + link + "  19200 бод   Even");
    EXPECT_EQ(qmt::ReadRegister(qmt::reg::ModuleType), qmt::reg::TypeQmt584);
    EXPECT_EQ(qmt::ReadRegister(qmt::reg::OwnAddress), 5);

    // Another station on the same line does not answer.
    qmt::PortSettings.address = 6;
    try {
        qmt::ReadRegister(qmt::reg::ModuleType);
        ADD_FAILURE() << "a read from a missing station succeeded";
    } catch (const qmt::ECommError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Нет ответа!"));
    }
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(EndToEnd, AMissingPortIsReportedAndShownClosed) {
    qmt::PortSettings = {QStringLiteral("/dev/ttyQMT-missing"), 9600, 0, 1};
    const bool open = qmt::OpenPort(qmt::PortSettings.portName, 9600, 0);
    EXPECT_FALSE(open);
    EXPECT_EQ(prompts.texts(), QStringList{QStringLiteral("Невозможно открыть /dev/ttyQMT-missing\n"
                                                          "нет такого устройства")});
    EXPECT_EQ(qmt::PortStatusText(open),
              QStringLiteral("Закрыт: /dev/ttyQMT-missing  9600 бод   None"));
}

// A loopback TCP port with nothing listening, or one whose listener never
// accepts and whose queue is full, so a connection attempt waits in vain.
struct Loopback {
    int listener = -1, queued = -1;
    uint16_t port = 0;
    explicit Loopback(bool listening) {
        listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        if (::bind(listener, reinterpret_cast<sockaddr*>(&a), size) != 0 ||
            ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &size) != 0)
            return;
        port = ntohs(a.sin_port);
        if (!listening) {
            ::close(listener); // the port stays free for a moment: connecting is refused
            listener = -1;
            return;
        }
        ::listen(listener, 0);
        queued = ::socket(AF_INET, SOCK_STREAM, 0); // takes the only place in the queue
        ::connect(queued, reinterpret_cast<sockaddr*>(&a), size);
    }
    ~Loopback() {
        if (queued >= 0) ::close(queued);
        if (listener >= 0) ::close(listener);
    }
    QString name() const { return QStringLiteral("tcp://127.0.0.1:%1").arg(port); }
};

// The second line of "Невозможно открыть" names what the system said.
TEST_F(EndToEnd, APortThatWillNotOpenSaysWhy) {
    const QString link = start({"--baud", "19200"});
    const QString file = dir.filePath(QStringLiteral("not-a-port"));
    ASSERT_TRUE(QFile(file).open(QIODevice::WriteOnly));
    // Another program holds the line: its lock is on another open of the device.
    const int holder = ::open(QFile::encodeName(link).constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    const Loopback refusing(false), full(true);
    ASSERT_NE(refusing.port, 0);
    ASSERT_NE(full.port, 0);

    const struct {
        QString port;
        const char* cause;
    } cases[] = {
        {QStringLiteral("/dev/ttyQMT-missing"), "нет такого устройства"},
        {file, "это не последовательный порт"},
        {link, "порт занят другой программой"},
        {refusing.name(), "соединение отвергнуто"},
        {full.name(), "нет ответа от шлюза"},
        {QStringLiteral("tcp://127.0.0.1"), "неверный адрес: нужны УЗЕЛ:ПОРТ"},
    };
    for (const auto& c : cases) {
        prompts.shown.clear();
        EXPECT_FALSE(qmt::OpenPort(c.port, 19200, 2)) << c.cause;
        EXPECT_EQ(prompts.texts(), QStringList{QStringLiteral("Невозможно открыть ") + c.port +
                                               QLatin1Char('\n') + QString::fromUtf8(c.cause)});
    }
    ::close(holder);
}

// A gateway spoken to in the wrong framing only ever stays silent: the first
// "Нет ответа!" proposes the other framing, once, and that one works.
TEST_F(EndToEnd, SilenceInTheWrongFramingProposesTheOtherOnce) {
    const QString hostPort = start({"--tcp", "127.0.0.1:0", "--framing", "mbap"});
    ASSERT_FALSE(hostPort.isEmpty());
    const QString wrong = QStringLiteral("rtu+tcp://") + hostPort;
    const QString right = QStringLiteral("tcp://") + hostPort;
    qmt::PortSettings = {wrong, 19200, 2, 1};
    ASSERT_TRUE(qmt::OpenPort(wrong, 19200, 2)) << prompts.lastText().toStdString();
    const auto failure = [] {
        try {
            qmt::ReadRegister(qmt::reg::ModuleType);
        } catch (const qmt::ECommError& e) {
            return e.message();
        }
        return QString();
    };
    EXPECT_EQ(failure(), QStringLiteral("Нет ответа!\nШлюз не ответил ни на один запрос. Если он "
                                        "работает по Modbus TCP, выберите порт ") +
                             right);
    EXPECT_EQ(failure(), QStringLiteral("Нет ответа!"));

    qmt::PortSettings.portName = right;
    ASSERT_TRUE(qmt::OpenPort(right, 19200, 2)) << prompts.lastText().toStdString();
    EXPECT_EQ(qmt::ReadRegister(qmt::reg::ModuleType), qmt::reg::TypeQmt584);
    // A device has no other framing to propose.
    EXPECT_TRUE(qmt::FramingHint(QStringLiteral("/dev/ttyUSB0")).isEmpty());
    EXPECT_TRUE(
        qmt::FramingHint(QStringLiteral("tcp://10.0.0.7:502")).endsWith("rtu+tcp://10.0.0.7:502"));
}

TEST_F(EndToEnd, TheSearchFindsAModuleAtUnknownSettingsAndOkConnects) {
    const QString link = start({"--baud", "9600", "--parity", "none", "--serial", "C0015"});
    // The program still believes in its defaults.
    qmt::PortSettings = {link, 19200, 2, 1};
    TParCOM dialog;
    Controls ui{dialog};
    dialog.show();
    ui.fill({{"cbType", QStringLiteral("QMT-584")},
             {"cbSerNumAlpha", QStringLiteral("C")},
             {"edNumber", QStringLiteral("15")}});
    // The real library searches one combination per call, and the status bar
    // names each: 9600 baud without parity is the 16th.
    ASSERT_NE(qmt::library().EnumParametersAt, nullptr);
    qmt::test::FakeStatus status;
    ui.click("btAuto");
    ASSERT_EQ(status.progressTexts.size(), 16);
    EXPECT_EQ(status.progressTexts.last(),
              QStringLiteral("Поиск модуля № C15, адрес 1: 9600 бод, None (16 из 24), порт ") +
                  link);
    ASSERT_EQ(prompts.shown.size(), 1u) << prompts.lastText().toStdString();
    EXPECT_EQ(prompts.shown[0].text,
              QStringLiteral("Модуль обнаружен!\nДля установки параметров порта нажмите ОК"));
    EXPECT_EQ(ui.combo("cbSpeed")->currentText(), QStringLiteral("9600"));
    EXPECT_EQ(ui.combo("cbParity")->currentText(), QStringLiteral("None"));

    ui.click("btOk");
    ASSERT_TRUE(dialog.accepted()) << prompts.lastText().toStdString();
    EXPECT_EQ(qmt::PortStatusText(true), QStringLiteral("Открыт: ") + link + "  9600 бод   None");
    EXPECT_EQ(qmt::ReadRegister(qmt::reg::SerialNumber), qmt::reg::SerialCode(2, 15));
}

} // namespace
