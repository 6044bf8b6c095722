// The read cycle, its failure, periodic update and the update period.
#include "PidValFixture.h"
#include "TryExpect.h"

namespace qmt::test {
namespace {

TEST_F(PidValTest, ReadCycleFillsEveryCellFromItsFourBlocks) {
    setLive(1, {0xFFFE, 100, 0x8000, 0x0005, 0xFF9C, 7});
    setLive(2, {1, 2, 3, 0x8001, 4, 5});
    setLive(3, {0x7FFF, 0, 0, 0x0006, 0, 0xFFFF});
    clickButton(window->btRead);
    ASSERT_TRUE(prompts.shown.empty()) << prompts.lastText().toStdString();
    EXPECT_EQ(requests(),
              (std::vector<std::string>{"3:1040:6", "3:1048:6", "3:1056:6", "3:1024:4"}));

    struct Column {
        int p;
        QStringList state; // rows 1..7
        QStringList write; // rows 0..1 of sgWriteVal
    };
    const Column columns[] = {
        {1, {"-2", "100", "-32768", "5", "1", "0", "1"}, {"-100", "7"}},
        {2, {"1", "2", "3", "8001", "1", "0", "0"}, {"4", "5"}},
        {3, {"32767", "0", "0", "6", "0", "1", "1"}, {"0", "-1"}},
    };
    for (const Column& c : columns) {
        for (int row = 1; row <= 7; ++row)
            EXPECT_EQ(window->stateText(c.p, row), c.state[row - 1]) << c.p << "," << row;
        for (int row = 0; row <= 1; ++row)
            EXPECT_EQ(window->writeValText(c.p, row), c.write[row]) << c.p << "," << row;
    }
    for (int row = 1; row <= 4; ++row) {
        EXPECT_EQ(window->modValueText(row),
                  QString::number(static_cast<int16_t>(module.reg(uint16_t(1023 + row)))));
    }
    // The always-open editor of the output value shows the value just read.
    EXPECT_EQ(editorOf(window->sgModValues)->text(), window->modValueText(4));
}

TEST_F(PidValTest, FailureAtRegulatorTwoKeepsColumnOneAndStopsUpdateBeforeTheMessage) {
    setLive(1, {10, 11, 12, 0, 14, 15});
    setLive(2, {20, 21, 22, 0, 24, 25});
    clickButton(window->btRead);
    setLive(1, {30, 31, 32, 1, 34, 35});
    setLive(2, {40, 41, 42, 1, 44, 45});

    // Whether periodic update was still on when the error was shown.
    std::vector<bool> checkedAtMessage;
    prompts.shown.clear();
    prompts.onMessage = [&](const MessageBoxRequest&) {
        checkedAtMessage.push_back(window->chbUpdate->checked());
    };
    FakeStatus status;
    window->chbUpdate->setChecked(true);
    ASSERT_TRUE(window->tmUpdate->isActive());
    module.clearLog();
    module.failWhen = [](const Request& r) { return r.address == 1048 ? 14 : 0; };
    QMetaObject::invokeMethod(window->tmUpdate, "timeout", Qt::DirectConnection);
    // a timer tick arrives the way a click does: through the guard

    EXPECT_EQ(window->stateText(1, 1), "30");
    EXPECT_EQ(window->writeValText(1, 1), "35");
    EXPECT_EQ(window->stateText(2, 1), "20");
    EXPECT_EQ(window->writeValText(2, 0), "24");
    EXPECT_FALSE(window->chbUpdate->checked());
    EXPECT_FALSE(window->tmUpdate->isActive());
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.lastText(), "Нет ответа!");
    EXPECT_EQ(checkedAtMessage, std::vector<bool>{false});
    for (const Request& r : module.log)
        EXPECT_NE(r.address, 1056) << "no block after the failed one";
    // The status bar keeps the reason the update stopped; a single read that
    // fails stops nothing and says nothing there.
    EXPECT_EQ(status.current, QStringLiteral("Периодическое обновление остановлено: Нет ответа!"));
    status.current.clear();
    clickButton(window->btRead);
    EXPECT_TRUE(status.current.isEmpty()) << status.current.toStdString();
}

TEST_F(PidValTest, PeriodicUpdateRunsWhileHiddenAndStopsWithTheLog) {
    enter(window->edPerUpd, "1");
    EXPECT_EQ(window->tmUpdate->interval(), 1);
    armLog();
    window->chbUpdate->userClick();
    ASSERT_TRUE(window->tmUpdate->isActive());
    window->hide();
    QMT_TRY_ASSERT(module.log.size() >= 8); // two whole cycles with the window closed
    EXPECT_TRUE(prompts.shown.empty()) << prompts.lastText().toStdString();

    window->chbUpdate->userClick();
    EXPECT_FALSE(window->tmUpdate->isActive());
    EXPECT_FALSE(window->chbLog->checked());
    const size_t count = module.log.size();
    QTest::qWait(20);
    EXPECT_EQ(module.log.size(), count);
}

TEST_F(PidValTest, PeriodTakesWholeMillisecondsOfAtLeastOne) {
    struct Case {
        const char* text;
        bool accepted;
        int interval;
        const char* shown; // edPerUpd afterwards
    };
    const Case cases[] = {
        {"250", true, 250, "250"},   {" 0300 ", true, 300, "300"},
        {"1", true, 1, "1"},         {"0", false, 1000, "0"},
        {"-5", false, 1000, "-5"},   {"1000,4", false, 1000, "1000,4"},
        {"0,2", false, 1000, "0,2"}, {"abc", false, 1000, "abc"},
        {"", false, 1000, ""},       {"99999999999", false, 1000, "99999999999"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        window->tmUpdate->setInterval(1000);
        prompts.shown.clear();
        enter(window->edPerUpd, QString::fromUtf8(c.text));
        EXPECT_EQ(window->tmUpdate->interval(), c.interval);
        EXPECT_EQ(window->edPerUpd->text(), QString::fromUtf8(c.shown));
        EXPECT_EQ(prompts.shown.size(), c.accepted ? 0u : 1u);
        if (!c.accepted) {
            EXPECT_EQ(prompts.lastText(), QString::fromUtf8("Недопустимый период обновления \"") +
                                              QString::fromUtf8(c.text) +
                                              QString::fromUtf8("\"!\nВведите целое число "
                                                                "миллисекунд, не меньше 1."));
        }
    }
}

TEST_F(PidValTest, SwitchingOnAppliesThePeriodAsEnterDoes) {
    window->edPerUpd->setText(" 250 "); // typed, no Enter
    window->chbUpdate->userClick();
    EXPECT_EQ(window->tmUpdate->interval(), 250);
    EXPECT_EQ(window->edPerUpd->text(), "250");
    window->chbUpdate->userClick();

    // A bad text: its message, and the update stays off; an armed log stays armed.
    armLog();
    ASSERT_TRUE(window->chbLog->checked());
    window->edPerUpd->setText("0");
    window->chbUpdate->userClick();
    EXPECT_FALSE(window->chbUpdate->checked());
    EXPECT_FALSE(window->tmUpdate->isActive());
    EXPECT_EQ(window->tmUpdate->interval(), 250);
    EXPECT_EQ(window->edPerUpd->text(), "0");
    EXPECT_EQ(prompts.texts(),
              QStringList{QString::fromUtf8("Недопустимый период обновления \"0\"!\n"
                                            "Введите целое число миллисекунд, не меньше 1.")});
    EXPECT_TRUE(window->chbLog->checked());
    EXPECT_EQ(contents(file("values.log")), QByteArray());
    // Corrected, the same log runs.
    window->edPerUpd->setText("300");
    window->chbUpdate->userClick();
    EXPECT_TRUE(window->tmUpdate->isActive());
    EXPECT_EQ(window->tmUpdate->interval(), 300);
    EXPECT_TRUE(contents(file("values.log")).startsWith("  "));
    window->chbUpdate->userClick();
    prompts.shown.clear();

    // Checked without starting a viewer: only the period step is looked at here.
    static_cast<QCheckBox*>(window->chbTrend)->setChecked(true);
    window->chbUpdate->userClick();
    EXPECT_EQ(window->tmUpdate->interval(), 300);
    EXPECT_TRUE(window->tmUpdate->isActive());
    window->chbUpdate->userClick();

    // A bad period with trends on: nothing starts and the box does not say otherwise.
    window->edPerUpd->setText("abc");
    window->chbUpdate->userClick();
    EXPECT_FALSE(window->chbUpdate->checked());
    EXPECT_FALSE(window->tmUpdate->isActive());
    EXPECT_EQ(window->tmUpdate->interval(), 300);
    EXPECT_EQ(prompts.shown.size(), 1u);
}

TEST_F(PidValTest, ClosingKeepsPeriodicUpdateAndTheChecks) {
    armLog();
    window->chbUpdate->setChecked(true);
    window->show();
    window->close();
    EXPECT_TRUE(window->chbUpdate->checked());
    EXPECT_TRUE(window->chbLog->checked());
    EXPECT_TRUE(window->tmUpdate->isActive());
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(PidValTest, EscInAnyFieldLeavesTheWindowOpen) {
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    armLog();
    window->chbUpdate->userClick();
    ASSERT_TRUE(window->tmUpdate->isActive());
    const std::vector<QWidget*> fields = {window->edPerUpd,
                                          window->edLog,
                                          window->edMbSet2,
                                          editorOf(window->sgWriteVal),
                                          editorOf(window->sgModValues),
                                          window->chbUpdate,
                                          window->chbLog,
                                          window->btRead,
                                          window->btAdvanced,
                                          window->sgSTATE,
                                          window->rgModePWM};
    for (QWidget* w : fields) {
        ASSERT_NE(w, nullptr);
        SCOPED_TRACE(w->objectName().toStdString());
        w->setFocus();
        QTest::keyClick(w, Qt::Key_Escape);
        EXPECT_TRUE(window->isVisible());
    }
    EXPECT_TRUE(window->chbLog->checked());
    EXPECT_TRUE(window->tmUpdate->isActive());
    // The close box still closes it.
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(prompts.shown.empty()) << prompts.lastText().toStdString();
}

} // namespace
} // namespace qmt::test
