// Reading and writing the whole configuration, the parameter named on a failed
// write, and the restart counter, against the fake module's request log.
#include "PidConfFixture.h"

#include "link/Errors.h"
#include "link/RegisterMap.h"

#include <QAction>

namespace qmt::test {
namespace {

using Strings = std::vector<std::string>;

sim::ModuleOptions firmware(uint16_t version) {
    sim::ModuleOptions o;
    o.firmware = version;
    return o;
}

class OldFirmwareTest : public PidConfTest {
protected:
    OldFirmwareTest() : PidConfTest(firmware(0x0105)) {}
};

void trigger(TPidConf* window, const char* action) {
    auto* a = window->findChild<QAction*>(QLatin1String(action));
    ASSERT_NE(a, nullptr) << action;
    a->trigger();
}

// A module configuration unlike New in every word (set-point codes kept valid).
void fillModule(FakeModule& m) {
    for (int n = 0; n < 3; ++n)
        for (int w = 1; w < 14; ++w)
            m.setReg(reg::PidWord(n, w), static_cast<uint16_t>(1000 + 100 * n + w));
    m.setReg(reg::PidWord(0, 0), 3);
    m.setReg(reg::PidWord(1, 0), 0);
    m.setReg(reg::PidWord(2, 0), 0xFFFF);
    m.setReg(reg::OutputSource, 2);
    for (int a = 48; a <= 52; ++a)
        m.setReg(a, static_cast<uint16_t>(a - 37));
    for (int a = 56; a <= 59; ++a)
        m.setReg(a, static_cast<uint16_t>(1 + a % 2));
    m.setReg(reg::ModuleMode, 2);
    for (int i = 0; i < 5; ++i) {
        m.setReg(reg::Pwm1 + i, static_cast<uint16_t>(21 + i));
        m.setReg(reg::Pwm2 + i, static_cast<uint16_t>(31 + i));
    }
}

const Strings FullRead = {"3:264:7", "3:271:7", "3:280:7", "3:287:7", "3:296:7", "3:303:7",
                          "3:312:1", "3:48:4",  "3:52:1",  "3:56:4",  "3:60:1",  "3:3:1"};

TEST_F(PidConfTest, ReadFillsTheModelInOrderAndShowsIt) {
    fillModule(module);
    trigger(window.get(), "miReadConf");
    Strings expected = FullRead;
    expected.push_back("3:320:5");
    expected.push_back("3:328:5");
    EXPECT_EQ(requests(), expected);
    EXPECT_TRUE(prompts.shown.empty());

    for (int n = 0; n < 3; ++n)
        for (int w = 0; w < 14; ++w)
            EXPECT_EQ(Config.pid[n].w[w], module.reg(reg::PidWord(n, w))) << n << ":" << w;
    EXPECT_EQ(Config.SwOut, 2);
    const int ioRegs[20] = {48,  49,  50,  51,  52,  56,  57,  58,  59,  320,
                            321, 322, 323, 324, 328, 329, 330, 331, 332, 60};
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(Config.io[i], module.reg(ioRegs[i])) << i;

    EXPECT_EQ(group("rgMode")->itemIndex(), 1);
    EXPECT_EQ(group("swpid1")->itemIndex(), 2);
    EXPECT_EQ(group("swpid2")->itemIndex(), 0);
    EXPECT_EQ(group("swpid3")->itemIndex(), 5);
    EXPECT_EQ(group("swout")->itemIndex(), 2);
}

TEST_F(PidConfTest, ReadWithTheLinkUpSendsChangedSwitchesBack) {
    fillModule(module);
    LinkUp = true;
    window->miReadConfClick();
    EXPECT_EQ(module.writes(), (Strings{"1912=27437", "60=2", "264=3", "280=0", "312=2"}));
}

TEST_F(PidConfTest, ModeOutsideTheItemsClearsTheSelectionAndIsKept) {
    click("rgMode", 0);
    module.setReg(reg::ModuleMode, 3);
    window->miReadConfClick();
    EXPECT_EQ(group("rgMode")->itemIndex(), -1);
    EXPECT_EQ(Config.io[io::ModuleMode], 3);
    module.clearLog();
    window->miWriteConfClick();
    EXPECT_EQ(module.reg(reg::ModuleMode), 3);
}

TEST_F(PidConfTest, FailedReadLeavesTheRestAndTheSwitches) {
    fillModule(module);
    module.failWhen = [](const Request& r) { return r.address == 48 ? 14 : 0; };
    trigger(window.get(), "miReadConf");
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.lastText(), ECommError::messageFor(14));
    EXPECT_EQ(Config.SwOut, 2);            // read before the failure
    EXPECT_EQ(Config.io[0], 40);           // the failed block keeps New
    EXPECT_EQ(Config.io[io::DacValue], 0); // after it
    EXPECT_EQ(group("swout")->itemIndex(), -1);
    EXPECT_EQ(group("rgMode")->itemIndex(), -1);
}

TEST_F(OldFirmwareTest, ReadAndWriteLeaveThePwmAlone) {
    fillModule(module);
    window->miReadConfClick();
    EXPECT_EQ(requests(), FullRead);
    for (int i = 9; i <= 18; ++i)
        EXPECT_EQ(Config.io[i], (std::array<uint16_t, 20>{0,   0,   0,     0,     0,     0,     0,
                                                          0,   0,   100,   200,   60000, 20000, 0,
                                                          100, 200, 60000, 20000, 0,     0}[i]));

    module.clearLog();
    window->miWriteConfClick();
    ASSERT_FALSE(module.log.empty());
    EXPECT_EQ(requests().back(), "3:3:1");
    EXPECT_EQ(module.writes().size(), 63u); // 53 writes and 10 write-enable codes
    EXPECT_EQ(module.writes()[module.writes().size() - 1], "51=14");
}

TEST_F(PidConfTest, WriteSendsEveryWordInOrderWithWaits) {
    fillModule(module);
    window->miReadConfClick();
    // Change every word so that the module's image proves each write.
    for (auto& b : Config.pid)
        for (int w = 1; w < 14; ++w)
            b.w[w] = static_cast<uint16_t>(b.w[w] + 1);
    for (int i = 0; i < 19; ++i)
        Config.io[i] = static_cast<uint16_t>(Config.io[i] + 1);
    Config.io[io::ModuleMode] = 0; // never read, never clicked: sent as 0
    module.clearLog();
    clock.sleeps.clear();

    trigger(window.get(), "miWriteConf");
    EXPECT_TRUE(prompts.shown.empty());

    auto is = [](int a, uint16_t v) { return std::to_string(a) + "=" + std::to_string(v); };
    const std::string enable = "1912=27437";
    Strings expected;
    for (int i = 0; i < 4; ++i)
        expected.insert(expected.end(), {enable, is(56 + i, Config.io[5 + i])});
    for (int n = 0; n < 3; ++n)
        for (int w = 0; w < 14; ++w)
            expected.push_back(is(264 + 16 * n + w, Config.pid[n].w[w]));
    expected.push_back(is(312, Config.SwOut));
    expected.insert(expected.end(), {enable, is(52, Config.io[4])});
    expected.insert(expected.end(), {enable, is(60, 0)});
    for (int i = 0; i < 4; ++i)
        expected.insert(expected.end(), {enable, is(48 + i, Config.io[i])});
    for (int i = 0; i < 5; ++i)
        expected.push_back(is(320 + i, Config.io[9 + i]));
    for (int i = 0; i < 5; ++i)
        expected.push_back(is(328 + i, Config.io[14 + i]));
    EXPECT_EQ(module.writes(), expected);

    // One register per request, and the version read right before the PWM writes.
    for (const Request& r : module.log)
        EXPECT_TRUE(r.function == 3 || r.count == 1);
    EXPECT_EQ(requests()[63], "3:3:1");

    EXPECT_EQ(clock.sleeps, std::vector<int>(53, 100));
}

struct FailureCase {
    const char* what;
    std::function<bool(const Request&)> fails;
    QString name;
};

TEST_F(PidConfTest, FailedWriteNamesTheParameter) {
    const std::vector<FailureCase> cases = {
        {"first write-enable", [](const Request& r) { return r.address == 1912; },
         QStringLiteral("\"Режим работы входа (канал 1)\"")},
        {"block 0 word 2", [](const Request& r) { return r.address == 266; },
         QStringLiteral("\"Верхняя граница зоны нечувствительности(ПИД1)\"")},
        {"block 2 word 6", [](const Request& r) { return r.address == 302; },
         QStringLiteral("\"период входных  выборок(ПИД3)\"")},
        {"output source", [](const Request& r) { return r.address == 312; },
         QStringLiteral("\"коммутатор выхода\"")},
        {"module mode", [](const Request& r) { return r.address == 60; },
         QStringLiteral("\"Режим работы преобразователя\"")},
        {"slew rate", [](const Request& r) { return r.address == 51; },
         QStringLiteral("\"Скорость нарастания/спада выходного сигнала\"")},
        {"version read", [](const Request& r) { return r.function == 3 && r.address == 3; },
         QStringLiteral("\"нижняя граница зоны нечувствительности около нуля для положительной "
                        "составляющей(ШИМ1)\"")},
        {"last PWM", [](const Request& r) { return r.address == 332; },
         QStringLiteral("\"величина зоны нечувствительности около амплитуды пилы для "
                        "отрицательной составляющей\"")},
    };
    for (const FailureCase& c : cases) {
        prompts.shown.clear();
        module.failWhen = [&c](const Request& r) { return c.fails(r) ? 14 : 0; };
        trigger(window.get(), "miWriteConf");
        ASSERT_EQ(prompts.shown.size(), 1u) << c.what;
        EXPECT_EQ(prompts.lastText(),
                  ECommError::messageFor(14) + QStringLiteral("\nпараметр:\n") + c.name)
            << c.what;
    }
}

TEST_F(PidConfTest, FailedWriteKeepsWhatWasWritten) {
    module.failWhen = [](const Request& r) { return r.address == 266 ? 5 : 0; };
    window->miFileNewClick();
    module.clearLog();
    trigger(window.get(), "miWriteConf");
    const std::string e = "1912=27437";
    EXPECT_EQ(module.writes(), (Strings{e, "56=2", e, "57=2", e, "58=2", e, "59=2", "264=0",
                                        "265=0", "266=0", "266=0", "266=0"}));
    EXPECT_EQ(prompts.lastText(), ECommError::messageFor(5) + QStringLiteral("\nпараметр:\n") +
                                      QStringLiteral("\"Верхняя граница зоны "
                                                     "нечувствительности(ПИД1)\""));
}

TEST_F(PidConfTest, RestartCounter) {
    module.setReg(reg::RestartCounter, 65535);
    trigger(window.get(), "miReadResCount");
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("Значение счетчика\nрестартов равно 65535"));
    EXPECT_TRUE(prompts.shown[0].caption.isEmpty());
    EXPECT_EQ(prompts.shown[0].icon, MsgIcon::Information);

    trigger(window.get(), "miNullResCount");
    EXPECT_EQ(module.writes(), (Strings{"260=0"}));
    EXPECT_EQ(module.reg(reg::RestartCounter), 0);
    ASSERT_EQ(prompts.shown.size(), 2u);
    EXPECT_EQ(prompts.shown[1].text, QStringLiteral("Операция завершена успешно!"));
    EXPECT_EQ(prompts.shown[1].icon, MsgIcon::Information);

    module.silent = true;
    trigger(window.get(), "miNullResCount");
    ASSERT_EQ(prompts.shown.size(), 3u);
    EXPECT_EQ(prompts.shown[2].text, ECommError::messageFor(14));
}

} // namespace
} // namespace qmt::test
