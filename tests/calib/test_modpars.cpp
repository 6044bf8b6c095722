// The service settings dialog on the fake module: what a read shows, what a
// write sends (with the password given and refused), and the checks before it.
#include "ModParsFixture.h"

namespace qmt::test {
namespace {

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

} // namespace
} // namespace qmt::test
