// The service settings dialog on the fake module: what a read shows, what a
// write sends (with the password given and refused), and the checks before it.
#include "ServiceFixture.h"

#include "TextFit.h"

#include "dialogs/PackedDate.h"
#include "dialogs/TModPars.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QTest>

#include <string>
#include <vector>

namespace qmt::test {
namespace {

using Writes = std::vector<std::string>;

class ModParsTest : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        dialog = std::make_unique<TModPars>();
    }
    void TearDown() override {
        dialog.reset();
        ServiceTest::TearDown();
    }

    // Shown as the menu command shows it: the password is asked first.
    void show(bool granted) {
        prompts.modalScripts.push_back(
            typePassword(granted ? ServicePassword : QStringLiteral("ошибка")));
        dialog->FormShow();
        prompts.shown.clear();
        module.clearLog();
        clock.sleeps.clear();
    }
    QLineEdit* edit(const char* name) const {
        auto* w = dialog->findChild<QLineEdit*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QComboBox* combo(const char* name) const {
        auto* w = dialog->findChild<QComboBox*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QPushButton* button(const char* name) const {
        auto* w = dialog->findChild<QPushButton*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    // As the user presses it: through the guard, errors shown in a box.
    void press(const char* name) { button(name)->click(); }
    QString error() const { return prompts.lastText(); }

    // A module whose every service register holds something to show.
    void fillModule() {
        module.setReg(258, 96);
        module.setReg(259, 1);
        module.setReg(0, 2);
        module.setReg(1, 4097);
        module.setReg(3, 0x0203);
        module.setReg(2, 0x3A75);
        module.setReg(256, 0xE915);
    }
    // Everything "Записать" needs, as defaults plus a registration number.
    void fillFields() {
        dialog->btDefClick();
        combo("cbAlpha")->setCurrentIndex(2); // C
        edit("edNumber")->setText(QStringLiteral("15"));
        edit("edManuf")->setText(QStringLiteral("21.09.14"));
    }

    std::unique_ptr<TModPars> dialog;
};

TEST_F(ModParsTest, ReadShowsEveryFieldInOrder) {
    fillModule();
    show(true);
    press("btRead");
    EXPECT_TRUE(prompts.shown.empty()) << error().toStdString();
    EXPECT_EQ(edit("edAdress")->text(), QStringLiteral("1"));
    EXPECT_EQ(combo("cbSpeed")->currentText(), QStringLiteral("9600"));
    EXPECT_EQ(combo("cbParity")->currentText(), QStringLiteral("Odd"));
    EXPECT_EQ(edit("edName")->text(), QStringLiteral("QMT-584"));
    EXPECT_EQ(combo("cbAlpha")->currentText(), QStringLiteral("B"));
    EXPECT_EQ(edit("edNumber")->text(), QStringLiteral("0001"));
    EXPECT_EQ(edit("edVer")->text(), QStringLiteral("02.03"));
    EXPECT_EQ(edit("edManuf")->text(), QStringLiteral("21.09.14")); // bit 5 set
    EXPECT_EQ(edit("edCheck")->text(), QStringLiteral("21.09.14")); // the older layout
    std::vector<uint16_t> order;
    for (const Request& r : module.log) {
        EXPECT_EQ(r.function, 3);
        EXPECT_EQ(r.count, 1);
        order.push_back(r.address);
    }
    EXPECT_EQ(order, (std::vector<uint16_t>{257, 258, 259, 0, 1, 3, 2, 256}));
}

TEST_F(ModParsTest, ReadNamesEveryTypeCode) {
    const char* names[] = {"UNKNOWN", "QMT-417", "QMT-584", "KS-RV-06",  "ZRN",
                           "QMV-362", "QMV-219", "QMT-473", "QMT-584.1", "UNKNOWN"};
    fillModule();
    for (uint16_t code = 0; code <= 9; ++code) {
        module.setReg(0, code);
        dialog->btReadClick();
        EXPECT_EQ(edit("edName")->text(), QLatin1String(names[code])) << code;
    }
}

TEST_F(ModParsTest, ReadLeavesUnknownValuesUnselected) {
    const struct {
        uint16_t baud, parity, serial;
        int speedItem, parityItem, letterItem;
        const char* number;
    } cases[] = {
        {100, 3, 2047, -1, -1, -1, "2047"},              // no letter
        {1152, 0x0102, 26 * 2048 + 5, 7, 2, 25, "0005"}, // Z; the parity's high byte is ignored
        {0, 0x0100, 27 * 2048, -1, 0, -1, "0000"},       // letter field beyond Z
    };
    fillModule();
    for (const auto& c : cases) {
        module.setReg(258, c.baud);
        module.setReg(259, c.parity);
        module.setReg(1, c.serial);
        dialog->btReadClick();
        EXPECT_EQ(combo("cbSpeed")->currentIndex(), c.speedItem) << c.baud;
        EXPECT_EQ(combo("cbParity")->currentIndex(), c.parityItem) << c.parity;
        EXPECT_EQ(combo("cbAlpha")->currentIndex(), c.letterItem) << c.serial;
        EXPECT_EQ(edit("edNumber")->text(), QLatin1String(c.number));
    }
}

TEST_F(ModParsTest, BadDatesEndTheReadWithTheirError) {
    fillModule();
    module.setReg(256, 0);
    press("btRead");
    EXPECT_EQ(error(),
              QStringLiteral("Некорректная дата калибровки!\nВозможно модуль не откалиброван!"));
    EXPECT_EQ(edit("edManuf")->text(), QStringLiteral("21.09.14")); // everything else shown
    EXPECT_EQ(module.log.size(), 8u);

    // 31 February, and a year field of 0: not dates; the calibration date is not read.
    for (uint16_t bad : {PackDate(31, 2, 14), PackDate(1, 1, 0), uint16_t(0xFFFF)}) {
        module.setReg(2, bad);
        module.clearLog();
        prompts.shown.clear();
        press("btRead");
        EXPECT_EQ(error(), QStringLiteral("Некорректная дата изготовления!")) << bad;
        EXPECT_EQ(module.log.size(), 7u) << bad;
    }
}

TEST_F(ModParsTest, ACommunicationFailureKeepsWhatWasRead) {
    fillModule();
    module.setReg(257, 1);
    module.failWhen = [](const Request& r) { return r.address == 1 ? 2 : 0; };
    press("btRead");
    EXPECT_EQ(error(), QStringLiteral("Недопустимый адрес данных"));
    EXPECT_EQ(edit("edName")->text(), QStringLiteral("QMT-584"));
    EXPECT_TRUE(edit("edNumber")->text().isEmpty());
    EXPECT_TRUE(edit("edVer")->text().isEmpty());
}

TEST_F(ModParsTest, WriteWithThePasswordSendsLineSettingsAndPassport) {
    show(true);
    answerAnyStation();
    fillFields();
    combo("cbSpeed")->setCurrentIndex(4); // 28800
    int idleWaits = 0;                    // waits without the wait cursor
    clock.onSleep = [&idleWaits](int) { idleWaits += QApplication::overrideCursor() == nullptr; };
    press("btWrite");
    EXPECT_EQ(idleWaits, 0);
    EXPECT_TRUE(prompts.shown.empty()) << error().toStdString();
    EXPECT_EQ(module.writes(), (Writes{"257=1", "258=288", "259=2", "1912=27437", "1=6159",
                                       "1912=27437", "2=14965"})); // 0x3A75
    EXPECT_EQ(clock.sleeps, (std::vector<int>{10, 10, 10, 10, 300}));
    EXPECT_EQ(PortSettings.address, 1); // the program's own settings are not changed
}

TEST_F(ModParsTest, WriteWithoutThePasswordSendsLineSettingsOnly) {
    show(false);
    edit("edManuf")->setText(QStringLiteral("01.02.03"));
    fillFields();
    dialog->btDefClick();
    EXPECT_EQ(edit("edManuf")->text(), QStringLiteral("21.09.14")); // the defaults leave it alone
    press("btWrite");
    EXPECT_TRUE(prompts.shown.empty()) << error().toStdString();
    EXPECT_EQ(module.writes(), (Writes{"257=1", "258=192", "259=2"}));
}

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
        module.clearLog();
        prompts.shown.clear();
        edit("edAdress")->setText(QString::fromUtf8(c.text));
        press("btWrite");
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
        module.clearLog();
        prompts.shown.clear();
        edit("edNumber")->setText(QLatin1String(c.number));
        press("btWrite");
        const Writes w = module.writes();
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
        module.clearLog();
        prompts.shown.clear();
        edit("edManuf")->setText(QLatin1String(c.text));
        press("btWrite");
        const Writes w = module.writes();
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
