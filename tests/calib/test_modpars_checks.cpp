// The service settings dialog: the checks of its fields before a write, its
// defaults, its look and its progress notes.
#include "ModParsFixture.h"

namespace qmt::test {
namespace {

TEST_F(ModParsTest, AddressIsCheckedBeforeAnythingIsSent) {
    const struct {
        const char* text;
        bool sent;
        const char* error; // nullptr: no message
    } cases[] = {
        {"240", true, nullptr},
        // Sent; the module itself refuses to become unreachable at the broadcast address.
        {"0", true, "Недопустимое значение данных"},
        {" 7", true, nullptr},
        {"241", false, "Введите корректное значение адреса!"},
        {"", false, "Введите корректное значение адреса!"},
        {"   ", false, "Введите корректное значение адреса!"},
        {"abc", false, "\" abc \" не является целым числом"},
        {"-1", false, "Введите корректное значение адреса!"},
    };
    show(false);
    answerAnyStation();
    dialog->btDefClick();
    for (const auto& c : cases) {
        writeWith("edAdress", c.text);
        EXPECT_EQ(error(), QString::fromUtf8(c.error)) << c.text;
        if (c.sent) {
            ASSERT_FALSE(module.writes().empty()) << c.text;
            EXPECT_EQ(module.writes()[0],
                      "257=" + QString::fromUtf8(c.text).trimmed().toStdString());
        } else {
            EXPECT_TRUE(module.log.empty()) << c.text;
        }
    }
    module.clearLog();
    combo("cbParity")->setCurrentIndex(-1);
    press("btWrite");
    EXPECT_EQ(error(), QStringLiteral("Выберите паритет!"));
    combo("cbSpeed")->setCurrentIndex(-1);
    press("btWrite");
    EXPECT_EQ(error(), QStringLiteral("Выберите скорость!"));
    EXPECT_TRUE(module.log.empty());
}

TEST_F(ModParsTest, TypingIntoTheAddressTakesThreeDigitsOnly) {
    QTest::keyClicks(edit("edAdress"), QStringLiteral("1a2-34"));
    EXPECT_EQ(edit("edAdress")->text(), QStringLiteral("123"));
}

TEST_F(ModParsTest, RegistrationNumberMustFitItsElevenBits) {
    const struct {
        const char* number;
        const char* error;
        const char* written;
    } cases[] = {
        {"2047", nullptr, "1=8191"}, // C: 3 * 2048 + 2047
        {"0", nullptr, "1=6144"},
        // Outside eleven bits the message names the range (2048 would become letter D).
        {"2048", "Значение 2048 выходит за пределы 0 - 2047!", nullptr},
        {"-1", "Значение -1 выходит за пределы 0 - 2047!", nullptr},
        {"99999", "Значение 99999 выходит за пределы 0 - 2047!", nullptr},
        {"", "Введите  номер модуля!", nullptr},
        {"  ", "Введите  номер модуля!", nullptr},
        // Read as every integer field is read.
        {"12x", nullptr, "1=6156"},
        {" 0x7", nullptr, "1=6144"},
        {"abc", "\" abc \" не является целым числом", nullptr},
    };
    show(true);
    answerAnyStation();
    fillFields();
    for (const auto& c : cases) {
        const Writes w = writeWith("edNumber", c.number);
        ASSERT_GE(w.size(), 3u) << c.number; // 257..259 go first in any case
        if (c.error) {
            EXPECT_EQ(error(), QString::fromUtf8(c.error)) << c.number;
            EXPECT_EQ(w.size(), 3u) << c.number;
        } else {
            ASSERT_GE(w.size(), 5u) << c.number;
            EXPECT_EQ(w[4], c.written);
        }
    }
    // No letter chosen: letter field 0.
    module.clearLog();
    combo("cbAlpha")->setCurrentIndex(-1);
    edit("edNumber")->setText(QStringLiteral("15"));
    press("btWrite");
    ASSERT_GE(module.writes().size(), 5u);
    EXPECT_EQ(module.writes()[4], "1=15");
}

TEST_F(ModParsTest, ManufactureDateIsCheckedAfterTheNumber) {
    const struct {
        const char* text;
        const char* error;
        const char* written;
    } cases[] = {
        {"29.02.04", nullptr, "2=4285"}, // 29 + 32 + 2 * 64 + 4 * 1024
        {"01.01.01", nullptr, "2=1121"},
        {"31.12.63", nullptr, "2=65343"},
        // Year 00 packs to a year field of 0, which every read refuses.
        {"29.02.00", "Некорректная дата изготовления!", nullptr},
        {"01.01.00", "Некорректная дата изготовления!", nullptr},
        {"31.02.14", "'31.02.14' is not a valid date", nullptr},
        {"1.2.14", "'1.2.14' is not a valid date", nullptr},
        {"", "'..' is not a valid date", nullptr},
        // The year field has six bits: 64 would come back as 00.
        {"01.01.64", "Некорректная дата изготовления!", nullptr},
    };
    show(true);
    answerAnyStation();
    fillFields();
    for (const auto& c : cases) {
        const Writes w = writeWith("edManuf", c.text);
        if (c.error) {
            EXPECT_EQ(error(), QString::fromUtf8(c.error)) << c.text;
            EXPECT_EQ(w.size(), 5u) << c.text; // the number is already written
        } else {
            EXPECT_TRUE(prompts.shown.empty()) << c.text << ": " << error().toStdString();
            ASSERT_EQ(w.size(), 7u) << c.text;
            EXPECT_EQ(w[6], c.written);
        }
    }
}

TEST_F(ModParsTest, OlderDateLayoutIsWrittenBackInTheNewOne) {
    fillModule();
    module.setReg(2, 0xE915);
    show(true);
    answerAnyStation();
    press("btRead");
    edit("edNumber")->setText(QStringLiteral("1"));
    press("btWrite");
    ASSERT_EQ(module.writes().size(), 7u) << error().toStdString();
    EXPECT_EQ(module.writes()[6], "2=14965");
}

TEST_F(ModParsTest, DefaultsAndThePasswordOutcome) {
    clock.current = QDateTime(QDate(2031, 3, 4), QTime(9, 0));
    show(true);
    dialog->btDefClick();
    EXPECT_EQ(edit("edAdress")->text(), QStringLiteral("1"));
    EXPECT_EQ(combo("cbSpeed")->currentText(), QStringLiteral("19200"));
    EXPECT_EQ(combo("cbParity")->currentText(), QStringLiteral("Even"));
    EXPECT_EQ(edit("edManuf")->text(), QStringLiteral("04.03.31"));
    EXPECT_TRUE(module.log.empty());
    const QColor grey(128, 128, 128);
    for (QWidget* w :
         {static_cast<QWidget*>(edit("edNumber")), static_cast<QWidget*>(edit("edManuf")),
          static_cast<QWidget*>(combo("cbAlpha"))}) {
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
        EXPECT_NE(w->palette().color(QPalette::Base), grey);
    }

    show(false); // asked again on the next showing; refused this time
    for (QWidget* w :
         {static_cast<QWidget*>(edit("edNumber")), static_cast<QWidget*>(edit("edManuf")),
          static_cast<QWidget*>(combo("cbAlpha"))}) {
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
        EXPECT_EQ(w->palette().color(QPalette::Disabled, QPalette::Base), grey);
    }
    EXPECT_FALSE(edit("edName")->isEnabled());
    EXPECT_FALSE(edit("edCheck")->isEnabled());
    EXPECT_FALSE(edit("edVer")->isEnabled());
}

TEST_F(ModParsTest, LooksAsDesigned) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Служебные параметры модуля"));
    EXPECT_EQ(dialog->size(), QSize(356, 288));
    EXPECT_TRUE(button("btWrite")->isDefault());
    const QByteArray target = qgetenv("QMT_GRAB_DIR");
    for (bool granted : {true, false}) {
        TModPars shown;
        prompts.modalScripts.push_back(
            typePassword(granted ? ServicePassword : QStringLiteral("нет")));
        shown.show(); // the show event asks for the password
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&shown));
        EXPECT_EQ(shown.findChild<QLineEdit*>("edNumber")->isEnabled(), granted);
        EXPECT_TRUE(shown.findChild<QLineEdit*>("edAdress")->hasFocus());
        fillModule();
        shown.btReadClick();
        EXPECT_EQ(clippedTextReport(&shown), "");
        if (!target.isEmpty())
            shown.grab().save(
                QDir(QString::fromLocal8Bit(target))
                    .filePath(granted ? "TModPars_granted.png" : "TModPars_refused.png"));
    }
}

} // namespace
} // namespace qmt::test

namespace qmt::test {
namespace {

TEST_F(ModParsTest, WriteShowsItsProgressAndConfirmsOnlyASuccess) {
    for (bool granted : {true, false}) {
        FakeStatus status;
        show(granted);
        answerAnyStation();
        fillFields();
        QStringList during; // as each wait begins
        clock.onSleep = [&](int) { during << status.current; };
        press("btWrite");
        EXPECT_TRUE(prompts.shown.empty()) << error().toStdString();
        const int total = granted ? 5 : 3;
        QStringList expected;
        for (int k = 1; k <= total; ++k)
            expected << QStringLiteral("Запись сервисных параметров: %1 из %2").arg(k).arg(total);
        EXPECT_EQ(during, expected) << granted;
        EXPECT_EQ(status.confirmations,
                  QStringList{QStringLiteral("Сервисные параметры записаны в модуль")});
        dialog = std::make_unique<TModPars>();
    }

    // A failed write keeps its box; the progress goes and nothing is confirmed.
    FakeStatus status;
    show(true);
    fillFields();
    module.failWhen = [](const Request&) { return 19; };
    press("btWrite");
    EXPECT_EQ(prompts.shown.size(), 1u);
    EXPECT_TRUE(status.current.isEmpty()) << status.current.toStdString();
    EXPECT_TRUE(status.confirmations.isEmpty());
}

} // namespace
} // namespace qmt::test
