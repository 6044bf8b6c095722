// Register access through the in-process module: the retry rule, the error
// texts, protected writes, the station of each call, and the value texts.
#include "FakeModule.h"
#include "FakeUi.h"
#include "link/Errors.h"
#include "link/PortSettings.h"
#include "link/RegisterAccess.h"
#include "link/RegisterMap.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using qmt::test::FakeModule;
using qmt::test::FakePrompts;

// The message of what the action raised, or "" when it raised nothing.
template <class E = qmt::Exception> QString raised(const std::function<void()>& action) {
    try {
        action();
    } catch (const E& error) {
        return error.message();
    }
    return QString();
}

class RegisterAccess : public ::testing::Test {
protected:
    void SetUp() override { qmt::PortSettings = {}; }
    void TearDown() override { qmt::PortSettings = {}; }
    FakeModule module;
    FakePrompts prompts;
};

TEST_F(RegisterAccess, AFailureFollowedBySuccessIsRetriedSilently) {
    const uint16_t address = qmt::reg::PidWord(0, qmt::reg::pid::XsDef);
    module.setReg(address, 1234);
    module.failNext(17);
    uint16_t value = 0;
    qmt::ReadRegister(address, value);
    EXPECT_EQ(value, 1234);
    ASSERT_EQ(module.log.size(), 2u);
    EXPECT_EQ(module.log[0].status, 17);
    EXPECT_EQ(module.log[1].status, 0);
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(RegisterAccess, ThreeFailuresRaiseTheTextOfTheLastStatus) {
    const struct {
        int32_t status;
        const char* text;
    } cases[] = {
        {1, "Недопустимая функция"},
        {2, "Недопустимый адрес данных"},
        {3, "Недопустимое значение данных"},
        {4, "Сбой устройства"},
        {5, "Подтверждение"},
        {6, "Устойство занято"},
        {7, "Отрицательное подтверждение"},
        {8, "Ошибка памяти"},
        {9, "Неизвестная ошибка связи!"},
        {12, "Неизвестная ошибка связи!"},
        {14, "Нет ответа!"},
        {15, "Функция не поддерживается библиотекой!"},
        {16, "Не хватает буфера данных!"},
        {17, "Ошибка CRC!"},
        {18, "Неизвестная ошибка связи!"},
        {25, "Неизвестная ошибка связи!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        module.clearLog();
        // The first two attempts fail otherwise: the last status decides the text.
        module.failNext(c.status == 14 ? 17 : 14, 2);
        module.failNext(c.status);
        uint16_t words[2] = {};
        EXPECT_EQ(raised<qmt::ECommError>([&] { qmt::ReadRegisters(0, 2, words); }),
                  QString::fromUtf8(c.text));
        EXPECT_EQ(module.log.size(), 3u);
    }
    // The same rule for writes; nothing beyond the third attempt.
    module.clearLog();
    module.silent = true;
    EXPECT_EQ(raised<qmt::ECommError>([] { qmt::WriteRegister(312, 1); }),
              QStringLiteral("Нет ответа!"));
    EXPECT_EQ(module.log.size(), 3u);
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(RegisterAccess, BlocksArriveWordForWordAndEveryCallUsesTheCurrentStation) {
    for (uint16_t i = 0; i < 7; ++i)
        module.setReg(uint16_t(qmt::reg::PidBlock(1) + i), uint16_t(100 + i));
    uint16_t words[7] = {};
    qmt::ReadRegisters(qmt::reg::PidBlock(1), 7, words);
    for (uint16_t i = 0; i < 7; ++i)
        EXPECT_EQ(words[i], 100 + i);

    const uint16_t block[5] = {1, 2, 300, 4, 0xFFFB};
    qmt::WriteRegisters(qmt::reg::Pwm1, 5, block);
    for (uint16_t i = 0; i < 5; ++i)
        EXPECT_EQ(module.reg(uint16_t(qmt::reg::Pwm1 + i)), block[i]);

    // A module at another station: the next call follows PortSettings at once.
    qmt::PortSettings.address = 7;
    module.silent = true;
    EXPECT_THROW(qmt::ReadRegister(qmt::reg::LinkCheck), qmt::ECommError);
    for (const auto& r : module.log)
        EXPECT_EQ(r.station, r.function == 3 && r.address == qmt::reg::LinkCheck ? 7 : 1);
}

TEST_F(RegisterAccess, ProtectedWritesSendTheEnableCodeFirstAndStopWhenItFails) {
    qmt::WriteProtectedRegister(qmt::reg::InputIntegrationTime(0), 250);
    EXPECT_EQ(module.writes(), (std::vector<std::string>{"1912=27437", "48=250"}));
    EXPECT_EQ(module.log.size(), 2u);

    // A plain write is one request, without the enable code.
    module.clearLog();
    qmt::WriteRegister(qmt::reg::PidWord(0, qmt::reg::pid::Kp), 150);
    EXPECT_EQ(module.writes(), (std::vector<std::string>{"267=150"}));

    // The enable write fails three times: the protected register is not touched.
    module.clearLog();
    module.failNext(14, 3);
    EXPECT_EQ(raised<qmt::ECommError>([] { qmt::WriteProtectedRegister(48, 999); }),
              QStringLiteral("Нет ответа!"));
    ASSERT_EQ(module.log.size(), 3u);
    for (const auto& r : module.log)
        EXPECT_EQ(r.address, qmt::reg::WriteEnable);
    EXPECT_EQ(module.reg(48), 250);
}

TEST_F(RegisterAccess, OpenPortSetsTheTimeOutOrShowsItsOwnMessage) {
    EXPECT_TRUE(qmt::OpenPort(QStringLiteral("/dev/ttyUSB0"), 9600, 0));
    ASSERT_EQ(module.opens.size(), 1u);
    EXPECT_EQ(module.opens[0].port, "/dev/ttyUSB0");
    EXPECT_EQ(module.opens[0].baud, 9600u);
    EXPECT_EQ(module.opens[0].parity, 0);
    EXPECT_EQ(module.timeouts, std::vector<uint32_t>{200});
    EXPECT_TRUE(prompts.shown.empty());

    module.initCommResult = 11;
    EXPECT_FALSE(qmt::OpenPort(QStringLiteral("/dev/ttyS3"), 19200, 2));
    EXPECT_EQ(module.timeouts.size(), 1u); // no time-out for a port that did not open
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("Невозможно открыть /dev/ttyS3"));
    EXPECT_EQ(prompts.shown[0].caption, QStringLiteral("Ошибка"));
    EXPECT_EQ(prompts.shown[0].icon, qmt::MsgIcon::Error);
    EXPECT_EQ(prompts.shown[0].owner, nullptr);
}

TEST(ParseRegisterValue, ReadsTheLeadingNumberLikeScanf) {
    EXPECT_EQ(qmt::ParseRegisterValue(QStringLiteral("12abc"), 1), 12);
    EXPECT_EQ(qmt::ParseRegisterValue(QStringLiteral("  42"), 1), 42);
    EXPECT_EQ(qmt::ParseRegisterValue(QStringLiteral("65535"), 1), 65535);
    EXPECT_EQ(qmt::ParseRegisterValue(QStringLiteral("-1"), 2), 0xFFFF);
    EXPECT_EQ(qmt::ParseRegisterValue(QStringLiteral("-32768"), 2), 0x8000);
    EXPECT_EQ(qmt::ParseRegisterValue(QStringLiteral("+7"), 2), 7);
    EXPECT_EQ(qmt::ParseRegisterValue(QStringLiteral("1F"), 3), 31);
    EXPECT_EQ(qmt::ParseRegisterValue(QStringLiteral("ffff"), 3), 0xFFFF);
    EXPECT_EQ(qmt::ParseRegisterValue(QStringLiteral("0x10"), 3), 16);
    // Blank text reads as 0 without an error.
    EXPECT_EQ(qmt::ParseRegisterValue(QString(), 1), 0);
    EXPECT_EQ(qmt::ParseRegisterValue(QStringLiteral("   "), 2), 0);
    // Decimal kinds stop at a letter that hexadecimal would take.
    EXPECT_EQ(qmt::ParseRegisterValue(QStringLiteral("1F"), 1), 1);
}

TEST(ParseRegisterValue, RefusesTextsAndRangesWithTheUsersText) {
    auto message = [](const char* text, int kind) {
        return raised([&] { qmt::ParseRegisterValue(QString::fromUtf8(text), kind); });
    };
    EXPECT_EQ(message("abc", 1), QStringLiteral("\" abc \" не является целым числом"));
    EXPECT_EQ(message("-", 2), QStringLiteral("\" - \" не является целым числом"));
    EXPECT_EQ(message("xyz", 3), QStringLiteral("\" xyz \" не является целым числом"));
    EXPECT_EQ(message("70000", 1), QStringLiteral("Значение 70000 выходит за пределы 0 - 65535!"));
    EXPECT_EQ(message("-1", 1), QStringLiteral("Значение -1 выходит за пределы 0 - 65535!"));
    EXPECT_EQ(message("10000", 3), QStringLiteral("Значение 10000 выходит за пределы 0 - 65535!"));
    EXPECT_EQ(message("32768", 2),
              QStringLiteral("Значение 32768 выходит за пределы -32768 - 32767!"));
    EXPECT_EQ(message("-40000", 2),
              QStringLiteral("Значение -40000 выходит за пределы -32768 - 32767!"));
    // Numbers too wide for any integer are out of range, never wrapped into it.
    EXPECT_EQ(message("4294967297", 1),
              QStringLiteral("Значение 4294967297 выходит за пределы 0 - 65535!"));
    EXPECT_EQ(message("99999999999999999999", 2),
              QStringLiteral("Значение 99999999999999999999 выходит за пределы -32768 - 32767!"));
    // Raised as the base class, not as a communication error.
    try {
        qmt::ParseRegisterValue(QStringLiteral("abc"), 1);
    } catch (const qmt::ECommError&) {
        ADD_FAILURE() << "raised as a communication error";
    } catch (const qmt::Exception&) {
    }
}

// The one integer reading of every field: a value, or the message it raises.
TEST(ParseInteger, ReadsLikeScanfAndRefusesWithTheUsersText) {
    const QString notANumber = QStringLiteral("\" %1 \" не является целым числом");
    const struct {
        const char* text;
        long long min, max;
        bool hex;
        long long value;     // when message is empty
        const char* message; // "%N" for the not-an-integer text of the input
    } cases[] = {
        // Hexadecimal forms: digits of either case, a 0x prefix, a sign.
        {"1F", 0, 65535, true, 31, ""},
        {"0x1F", 0, 65535, true, 31, ""},
        {"0X1f", 0, 65535, true, 31, ""},
        {"-1", 0, 65535, true, 0, "Значение -1 выходит за пределы 0 - 65535!"},
        {"G1", 0, 65535, true, 0, "%N"},
        // A decimal reading stops where hexadecimal would go on.
        {"0x1F", -32768, 32767, false, 0, ""},
        {"1F", 0, 65535, false, 1, ""},
        // Signs.
        {"+7", -32768, 32767, false, 7, ""},
        {"-32768", -32768, 32767, false, -32768, ""},
        {"- 5", -32768, 32767, false, 0, "%N"},
        {"+", 0, 10, false, 0, "%N"},
        // Spaces before are skipped, anything after the number is ignored.
        {"  42", 0, 65535, false, 42, ""},
        {"\t12 34", 0, 65535, false, 12, ""},
        {"12abc", 0, 65535, false, 12, ""},
        {"12,5", 0, 65535, false, 12, ""},
        // Empty and blank texts read as 0.
        {"", 5, 10, false, 0, ""},
        {"   ", 0, 2047, false, 0, ""},
        // Out of range, at both ends and beyond any integer.
        {"2048", 0, 2047, false, 0, "Значение 2048 выходит за пределы 0 - 2047!"},
        {"2047", 0, 2047, false, 2047, ""},
        {"-32769", -32768, 65535, false, 0, "Значение -32769 выходит за пределы -32768 - 65535!"},
        {"65535", -32768, 65535, false, 65535, ""},
        {"99999999999999999999", 0, 65535, false, 0,
         "Значение 99999999999999999999 выходит за пределы 0 - 65535!"},
        {" 7%1", 0, 5, false, 0, "Значение  7%1 выходит за пределы 0 - 5!"},
        // Not a number at all.
        {"abc", 0, 65535, false, 0, "%N"},
        {".5", 0, 65535, false, 0, "%N"},
    };
    for (const auto& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        long long value = -999;
        const QString message =
            raised([&] { value = qmt::ParseInteger(text, c.min, c.max, c.hex); });
        const QString expected = QString::fromUtf8(c.message) == QLatin1String("%N")
                                     ? notANumber.arg(text)
                                     : QString::fromUtf8(c.message);
        EXPECT_EQ(message, expected) << c.text;
        if (expected.isEmpty()) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
}

TEST(FormatRegisterValue, ByKind) {
    EXPECT_EQ(qmt::FormatRegisterValue(0xFFFF, 1), QStringLiteral("65535"));
    EXPECT_EQ(qmt::FormatRegisterValue(0xFFFF, 2), QStringLiteral("-1"));
    EXPECT_EQ(qmt::FormatRegisterValue(0x8000, 2), QStringLiteral("-32768"));
    EXPECT_EQ(qmt::FormatRegisterValue(255, 3), QStringLiteral("FF"));
    EXPECT_EQ(qmt::FormatRegisterValue(0, 3), QStringLiteral("0"));
    EXPECT_EQ(qmt::FormatRegisterValue(5, 0), QString());
    EXPECT_EQ(qmt::FormatRegisterValue(5, 4), QString());
}

TEST(FormatFloat, CommaAndDecimalsWhateverTheLocale) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German)); // a comma locale must not double up
    EXPECT_EQ(qmt::FormatFloat(3.14159f, 2), QStringLiteral("3,14"));
    EXPECT_EQ(qmt::FormatFloat(-0.5f, 1), QStringLiteral("-0,5"));
    EXPECT_EQ(qmt::FormatFloat(1234.5f, 3), QStringLiteral("1234,500"));
    EXPECT_EQ(qmt::FormatFloat(2.6f, 0), QStringLiteral("3"));
    EXPECT_EQ(qmt::FormatFloat(65536.0f, 0), QStringLiteral("65536"));
    // Exact ties round to even, as printf does.
    EXPECT_EQ(qmt::FormatFloat(2.5f, 0), QStringLiteral("2"));
    EXPECT_EQ(qmt::FormatFloat(0.125f, 2), QStringLiteral("0,12"));
    EXPECT_EQ(qmt::FormatFloat(0.375f, 2), QStringLiteral("0,38"));
    EXPECT_EQ(qmt::FormatFloat(1.5f, -1), QStringLiteral("1,500000"));
    QLocale::setDefault(saved);
}

} // namespace
