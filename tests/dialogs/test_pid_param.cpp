// The PID parameters dialog: what "Записать" and "Считать" send, what the model
// holds afterwards, the failure rules, and the look of the window.
#include "DialogFixture.h"

#include "dialogs/OfflineWrite.h"
#include "dialogs/TPidParam.h"

#include <QApplication>
#include <QFocusEvent>

#include <memory>

namespace qmt::test {
namespace {

// The column top to bottom, as the user fills it.
const char* const Column[] = {"ed1", "ed11", "ed2", "ed3", "ed4", "ed5",
                              "ed6", "ed7",  "ed8", "ed9", "ed10"};

class PidParamTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        dialog = std::make_unique<TPidParam>();
        dialog->Tag = 1;
        dialog->LoadFromConfig();
        module.clearLog();
    }

    // Fills every field with a value of each conversion and the control register 6.
    void fillAll() {
        const char* texts[][2] = {{"ed1", "-1"},   {"ed2", "300"}, {"ed3", "1,5"},
                                  {"ed4", "7"},    {"ed5", "2,5"}, {"ed6", "25"},
                                  {"ed7", "1000"}, {"ed8", "-20"}, {"ed9", "5"},
                                  {"edXfo", "77"}, {"ed10", "-3"}, {"ed11", "40000"}};
        for (const auto& t : texts)
            type(dialog.get(), t[0], QString::fromUtf8(t[1]));
        choose(dialog.get(), "rgType", 1);
        control<CheckBox>(dialog.get(), "chbXfo")->setChecked(false);
        control<CheckBox>(dialog.get(), "chbMz")->setChecked(true);
    }
    // Offsets 0..12 of fillAll() in register encoding.
    const std::vector<uint16_t> filled = {65535, 300, 150, 3,  25,    12,   1000,
                                          65516, 5,   6,   77, 65533, 40000};

    std::vector<uint16_t> block(int n) const {
        const auto& w = Config.pid[size_t(n)].w;
        return {w.begin() + 1, w.end()};
    }

    std::unique_ptr<TPidParam> dialog;
};

TEST_F(PidParamTest, SendWritesThirteenRegistersOneByOneThenStores) {
    const ModuleConfig before = Config;
    fillAll();
    click(dialog.get(), "btSend");
    EXPECT_TRUE(prompts.shown.empty()) << shownText().toStdString();

    std::vector<std::string> expected;
    for (int i = 0; i < 13; ++i)
        expected.push_back("16:" + std::to_string(281 + i) + ":1");
    EXPECT_EQ(requests(), expected);
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(module.reg(uint16_t(281 + i)), filled[size_t(i)]) << "offset " << i;
    EXPECT_EQ(clock.sleeps, std::vector<int>(13, 100));
    EXPECT_EQ(block(1), filled);
    // The set-point switch word and the other regulators are not this dialog's.
    EXPECT_EQ(Config.pid[1].w[0], before.pid[1].w[0]);
    EXPECT_EQ(Config.pid[0].w, before.pid[0].w);
    EXPECT_EQ(Config.pid[2].w, before.pid[2].w);
}

TEST_F(PidParamTest, SendHoldsTheBusyCursorOverTheWrites) {
    std::vector<bool> busy;
    clock.onSleep = [&](int) {
        busy.push_back(QApplication::overrideCursor() &&
                       QApplication::overrideCursor()->shape() == Qt::WaitCursor);
    };
    click(dialog.get(), "btSend");
    EXPECT_EQ(busy, std::vector<bool>(13, true));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(PidParamTest, WithTheLinkDownSendOnlyStoresSaysSoAndTheNextOpeningShowsIt) {
    LinkUp = false;
    fillAll();
    click(dialog.get(), "btSend");
    EXPECT_TRUE(module.log.empty());
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, OfflineWriteText());
    EXPECT_EQ(prompts.shown[0].icon, MsgIcon::Information);
    EXPECT_EQ(prompts.shown[0].owner, dialog.get());
    EXPECT_TRUE(clock.sleeps.empty());
    EXPECT_EQ(block(1), filled);

    type(dialog.get(), "ed1", QStringLiteral("999"));
    dialog->LoadFromConfig();
    const char* shown[][2] = {{"ed1", "-1"},  {"ed2", "300"},  {"ed3", "1,50"}, {"ed4", "6"},
                              {"ed5", "2,5"}, {"ed6", "24"},   {"ed7", "1000"}, {"ed8", "-20"},
                              {"ed9", "5"},   {"edXfo", "77"}, {"ed10", "-3"},  {"ed11", "40000"}};
    for (const auto& s : shown)
        EXPECT_EQ(text(dialog.get(), s[0]), QString::fromUtf8(s[1])) << s[0];
    EXPECT_EQ(item(dialog.get(), "rgType"), 1);
    EXPECT_FALSE(control<CheckBox>(dialog.get(), "chbXfo")->checked());
    EXPECT_TRUE(control<CheckBox>(dialog.get(), "chbMz")->checked());
}

TEST_F(PidParamTest, ConfirmingWithoutEditsWritesBackWhatWasShown) {
    // Values whose binary products fall just below the decimal they show, the
    // largest of each encoding, and the defaults (Ti 65535 shows as 131070).
    const std::vector<std::vector<uint16_t>> blocks = {
        {0, 1, 29, 65535, 65535, 65535, 2, 0, 0, 0, 0, 0, 0},
        {32768, 65535, 57, 1, 29, 1, 32767, 32768, 65535, 7, 32768, 32767, 65535},
        {block(1)},
    };
    for (bool up : {false, true}) {
        LinkUp = up;
        for (const auto& words : blocks) {
            std::copy(words.begin(), words.end(), Config.pid[1].w.begin() + 1);
            dialog->LoadFromConfig();
            Config.pid[1].w.fill(0);
            prompts.shown.clear();
            click(dialog.get(), "btSend");
            ASSERT_EQ(prompts.texts(), up ? QStringList() : QStringList{OfflineWriteText()})
                << shownText().toStdString();
            std::vector<uint16_t> expected = words;
            expected[6] = std::max<int16_t>(int16_t(expected[6]), 2); // the maximum limit floor
            EXPECT_EQ(block(1), expected);
            if (up) {
                for (int i = 0; i < 13; ++i)
                    EXPECT_EQ(module.reg(uint16_t(281 + i)), expected[size_t(i)]) << i;
            }
        }
    }
}

TEST_F(PidParamTest, AFailedWriteNamesTheParameterAndLeavesTheModelAlone) {
    const std::vector<uint16_t> before = block(1);
    fillAll();
    module.failWhen = [](const Request& r) { return r.address == 285 ? 14 : 0; };
    click(dialog.get(), "btSend");
    EXPECT_EQ(shownText(),
              QStringLiteral("Нет ответа!\nпараметр \"постоянная времени дифференцирования\""));
    EXPECT_EQ(requests(), (std::vector<std::string>{"16:281:1", "16:282:1", "16:283:1", "16:284:1",
                                                    "16:285:1", "16:285:1", "16:285:1"}));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(module.reg(uint16_t(281 + i)), filled[size_t(i)]);
    EXPECT_EQ(block(1), before);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // Every offset has its own name in the message.
    module.failWhen = [](const Request& r) { return r.address == 293 ? 2 : 0; };
    click(dialog.get(), "btSend");
    EXPECT_EQ(shownText(),
              QStringLiteral("Недопустимый адрес данных\nпараметр \"нижняя граница зоны "
                             "нечувствительности\""));
}

TEST_F(PidParamTest, ABadFieldEndsTheSendBeforeAnythingIsWrittenOrStored) {
    const struct {
        const char* field;
        const char* text;
        const char* message;
    } cases[] = {
        {"ed1", "40000", "Значение 40000 выходит за пределы -32768 - 32767!"},
        {"ed11", "-1", "Значение -1 выходит за пределы 0 - 65535!"},
        {"ed2", "x", "\" x \" не является целым числом"},
        {"ed3", "abc", "'abc' is not a valid floating point value"},
        {"ed3", "700", "Значение 700 выходит за пределы 0 - 655,35!"},
        {"ed3", "-0,01", "Значение -0,01 выходит за пределы 0 - 655,35!"},
        {"ed4", "131072", "Значение 131072 выходит за пределы 0 - 131071!"},
        {"ed5", "6553,6", "Значение 6553,6 выходит за пределы 0 - 6553,5!"},
        {"ed5", "1;5", "'1;5' is not a valid floating point value"},
        {"ed7", "abc", "\" abc \" не является целым числом"},
        {"ed7", "40000", "Значение 40000 выходит за пределы -32768 - 32767!"},
        {"edXfo", "q", "\" q \" не является целым числом"},
        {"ed10", "-40000", "Значение -40000 выходит за пределы -32768 - 32767!"},
    };
    const std::vector<uint16_t> before = block(1);
    for (const auto& c : cases) {
        dialog->LoadFromConfig();
        type(dialog.get(), c.field, QString::fromUtf8(c.text));
        prompts.shown.clear();
        click(dialog.get(), "btSend");
        EXPECT_EQ(shownText().toStdString(), c.message) << c.field;
        EXPECT_EQ(text(dialog.get(), c.field), QString::fromUtf8(c.text)); // kept for mending
    }
    EXPECT_TRUE(module.log.empty());
    EXPECT_EQ(block(1), before);

    // The first bad field in conversion order speaks: ed11 comes before ed2.
    type(dialog.get(), "ed2", QStringLiteral("a"));
    type(dialog.get(), "ed11", QStringLiteral("b"));
    click(dialog.get(), "btSend");
    EXPECT_EQ(shownText(), QStringLiteral("\" b \" не является целым числом"));

    dialog->LoadFromConfig();
    control<RadioGroup>(dialog.get(), "rgType")->clearSelection();
    click(dialog.get(), "btSend");
    EXPECT_EQ(shownText(), QStringLiteral("Выберите тип регулятора!"));
    EXPECT_TRUE(module.log.empty());
}

TEST_F(PidParamTest, TheMaximumLimitIsRaisedToTwoOnLeavingEd6AndOnSend) {
    QLineEdit* ed6 = edit(dialog.get(), "ed6");
    auto leave = [&](Qt::FocusReason reason) {
        QFocusEvent out(QEvent::FocusOut, reason);
        QApplication::sendEvent(ed6, &out);
    };
    const struct {
        const char* typed;
        const char* after;
    } cases[] = {{"1", "2"}, {"-5", "2"}, {"2", "2"}, {"300", "300"}};
    for (const auto& c : cases) {
        type(dialog.get(), "ed7", QString::fromUtf8(c.typed));
        leave(Qt::TabFocusReason);
        EXPECT_EQ(text(dialog.get(), "ed7"), QString::fromUtf8(c.after)) << c.typed;
    }
    // Another window taking the focus is not leaving the field.
    type(dialog.get(), "ed7", QStringLiteral("1"));
    leave(Qt::ActiveWindowFocusReason);
    EXPECT_EQ(text(dialog.get(), "ed7"), QStringLiteral("1"));
    EXPECT_TRUE(prompts.shown.empty());

    click(dialog.get(), "btSend");
    EXPECT_EQ(text(dialog.get(), "ed7"), QStringLiteral("2"));
    EXPECT_EQ(module.reg(287), 2);

    type(dialog.get(), "ed7", QStringLiteral("z"));
    leave(Qt::MouseFocusReason);
    EXPECT_EQ(shownText(), QStringLiteral("\" z \" не является целым числом"));
}

// The floor reads the field as its conversion does: a text the conversion
// takes as 0 is lifted, so the limit written is never below 2.
TEST_F(PidParamTest, TheMaximumLimitFloorReadsTheFieldAsItIsWritten) {
    const struct {
        const char* typed;
        const char* after;
        uint16_t written;
    } cases[] = {
        {"0x1F", "2", 2}, {" 1", "2", 2}, {"", "2", 2}, {"31abc", "31abc", 31}, {"+5", "+5", 5}};
    for (const auto& c : cases) {
        type(dialog.get(), "ed7", QString::fromUtf8(c.typed));
        prompts.shown.clear();
        click(dialog.get(), "btSend");
        EXPECT_TRUE(prompts.shown.empty()) << c.typed << ": " << shownText().toStdString();
        EXPECT_EQ(text(dialog.get(), "ed7"), QString::fromUtf8(c.after)) << c.typed;
        EXPECT_EQ(module.reg(287), c.written) << c.typed;
        EXPECT_EQ(Config.pid[1].w[7], c.written) << c.typed;
    }
}

TEST_F(PidParamTest, EnterInAColumnFieldWritesButNotInTheForcedOutputValue) {
    for (const char* name : Column) {
        module.clearLog();
        QTest::keyClick(edit(dialog.get(), name), Qt::Key_Return);
        EXPECT_EQ(module.log.size(), 13u) << name;
    }
    module.clearLog();
    QTest::keyClick(edit(dialog.get(), "ed3"), Qt::Key_Enter);
    EXPECT_EQ(module.log.size(), 13u);
    module.clearLog();
    QTest::keyClick(edit(dialog.get(), "edXfo"), Qt::Key_Return);
    QTest::keyClick(edit(dialog.get(), "ed1"), Qt::Key_A);
    EXPECT_TRUE(module.log.empty());
    EXPECT_EQ(text(dialog.get(), "ed1"), QStringLiteral("0a")); // other keys reach the field
}

TEST_F(PidParamTest, ReadShowsTwoBlocksAndLeavesTheModelAlone) {
    const uint16_t regs[13] = {65526, 10, 29, 15, 7, 3, 50, 65486, 4, 6, 65535, 2, 40000};
    for (int i = 0; i < 13; ++i)
        module.setReg(uint16_t(281 + i), regs[i]);
    const std::vector<uint16_t> before = block(1);
    click(dialog.get(), "btRead");
    EXPECT_TRUE(prompts.shown.empty()) << shownText().toStdString();
    EXPECT_EQ(requests(), (std::vector<std::string>{"3:281:7", "3:288:6"}));
    const char* shown[][2] = {{"ed1", "-10"}, {"ed2", "10"},   {"ed3", "0,29"}, {"ed4", "30"},
                              {"ed5", "0,7"}, {"ed6", "6"},    {"ed7", "50"},   {"ed8", "-50"},
                              {"ed9", "4"},   {"edXfo", "-1"}, {"ed10", "2"},   {"ed11", "40000"}};
    for (const auto& s : shown)
        EXPECT_EQ(text(dialog.get(), s[0]), QString::fromUtf8(s[1])) << s[0];
    EXPECT_EQ(item(dialog.get(), "rgType"), 1);
    EXPECT_FALSE(control<CheckBox>(dialog.get(), "chbXfo")->checked());
    EXPECT_TRUE(control<CheckBox>(dialog.get(), "chbMz")->checked());
    EXPECT_EQ(block(1), before);

    // Control word 6 written back as read.
    module.clearLog();
    click(dialog.get(), "btSend");
    EXPECT_EQ(module.reg(290), 6);

    // The second read failing leaves the first block shown.
    module.setReg(281, 5);
    module.setReg(288, 9);
    module.failWhen = [](const Request& r) { return r.address == 288 ? 17 : 0; };
    click(dialog.get(), "btRead");
    EXPECT_EQ(shownText(), QStringLiteral("Ошибка CRC!"));
    EXPECT_EQ(text(dialog.get(), "ed1"), QStringLiteral("5"));
    EXPECT_EQ(text(dialog.get(), "ed8"), QStringLiteral("-50"));
}

TEST_F(PidParamTest, WindowLayout) {
    for (int n = 0; n < 3; ++n) {
        dialog->Tag = n;
        dialog->LoadFromConfig();
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Параметры - ПИД%1").arg(n + 1));
    }
    EXPECT_EQ(dialog->size(), QSize(548, 373));
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
    EXPECT_FALSE(dialog->windowFlags() &
                 (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                  Qt::WindowContextHelpButtonHint));

    // One column, top to bottom, each field with its label on its left.
    int lastY = -1;
    for (const char* name : Column) {
        QLineEdit* field = edit(dialog.get(), name);
        EXPECT_GT(field->y(), lastY) << name;
        lastY = field->y();
        const auto* label = qobject_cast<QLabel*>(
            dialog->findChild<QLabel*>(QStringLiteral("lb") + QLatin1String(name).mid(2)));
        ASSERT_NE(label, nullptr) << name;
        EXPECT_EQ(label->buddy(), field);
        EXPECT_LT(label->geometry().right(), field->x());
    }
    // Tab takes ed2 before ed11.
    auto nextTab = [](QWidget* w) {
        do
            w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus));
        return w;
    };
    EXPECT_EQ(nextTab(edit(dialog.get(), "ed1")), edit(dialog.get(), "ed2"));
    EXPECT_EQ(nextTab(edit(dialog.get(), "ed2")), edit(dialog.get(), "ed11"));
    EXPECT_EQ(nextTab(edit(dialog.get(), "ed11")), edit(dialog.get(), "ed3"));
    EXPECT_EQ(nextTab(edit(dialog.get(), "ed10")),
              control<RadioGroup>(dialog.get(), "rgType")->button(0));

    auto* group = control<QGroupBox>(dialog.get(), "gbPIDCon");
    EXPECT_EQ(group->title(), QStringLiteral("Регистр управления"));
    for (const char* name : {"rgType", "chbXfo", "edXfo", "chbMz"})
        EXPECT_EQ(control<QWidget>(dialog.get(), name)->parentWidget(), group) << name;
    EXPECT_EQ(control<QPushButton>(dialog.get(), "btRead")->text(), QStringLiteral("Считать"));
    EXPECT_EQ(control<QPushButton>(dialog.get(), "btSend")->text(), QStringLiteral("Записать"));
    EXPECT_EQ(control<QPushButton>(dialog.get(), "btCancel")->text(), QStringLiteral("Отмена"));

    dialog->show();
    EXPECT_EQ(clippedTextReport(dialog.get()), "");
    EXPECT_EQ(unframedItemReport(dialog.get()), "");
    EXPECT_EQ(clippedTitleReport(dialog.get()), "");
    EXPECT_TRUE(overfullWrappedLabels(dialog.get()).isEmpty())
        << overfullWrappedLabels(dialog.get()).join(' ').toStdString();
    grab(dialog.get(), QStringLiteral("PidParam.png"));

    click(dialog.get(), "btCancel");
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(dialog->isVisible());
}

} // namespace
} // namespace qmt::test

namespace qmt::test {
namespace {

TEST_F(PidParamTest, SendCountsItsWritesAndConfirmsOnlyASuccess) {
    FakeStatus status;
    fillAll();
    QStringList during; // as each wait begins
    clock.onSleep = [&](int) { during << status.current; };
    click(dialog.get(), "btSend");
    ASSERT_EQ(during.size(), 13);
    EXPECT_EQ(during.front(), QStringLiteral("Запись параметров ПИД2: 1 из 13"));
    EXPECT_EQ(during.back(), QStringLiteral("Запись параметров ПИД2: 13 из 13"));
    EXPECT_EQ(status.confirmations, QStringList{WrittenText()});

    status.confirmations.clear();
    module.failWhen = [](const Request& r) { return r.address == 285 ? 14 : 0; };
    click(dialog.get(), "btSend");
    EXPECT_EQ(prompts.shown.size(), 1u);
    EXPECT_TRUE(status.current.isEmpty()) << status.current.toStdString();
    EXPECT_TRUE(status.confirmations.isEmpty());
}

} // namespace
} // namespace qmt::test
