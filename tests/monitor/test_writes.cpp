// Values written from the window: the output value, the regulator values and
// the Modbus set points.
#include "PidValFixture.h"

#include <functional>

namespace qmt::test {
namespace {

TEST_F(PidValTest, OutputValueIsWrittenWholeOrNotAtAll) {
    struct Case {
        const char* text;
        const char* write; // "" when refused
        const char* message;
    };
    const Case cases[] = {
        {"-100", "1027=65436", ""},
        {"65535", "1027=65535", ""},
        {"-32768", "1027=32768", ""},
        {" 42 ", "1027=42", ""},
        {"70000", "", "Значение 70000 выходит за пределы -32768 - 65535!"},
        {"-32769", "", "Значение -32769 выходит за пределы -32768 - 65535!"},
        {"99999999999999999999", "",
         "Значение 99999999999999999999 выходит за пределы -32768 - 65535!"},
        {"12a", "", "'12a' is not a valid integer value"},
        {"", "", "'' is not a valid integer value"},
    };
    QLineEdit* editor = editorOf(window->sgModValues);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        module.clearLog();
        prompts.shown.clear();
        enter(editor, QString::fromUtf8(c.text));
        const std::vector<std::string> expected =
            *c.write ? std::vector<std::string>{c.write} : std::vector<std::string>{};
        EXPECT_EQ(module.writes(), expected);
        EXPECT_EQ(prompts.lastText(), QString::fromUtf8(c.message));
    }
}

TEST_F(PidValTest, RegulatorValueKindFollowsTheOutputMode) {
    auto writeAt = [&](int col, int row, const QString& text) {
        clickCell(window->sgWriteVal, col, row);
        EXPECT_EQ(window->sgWriteVal->col(), col);
        EXPECT_EQ(window->sgWriteVal->row(), row);
        module.clearLog();
        prompts.shown.clear();
        enter(editorOf(window->sgWriteVal), text);
    };
    Config.io[io::DacMode] = 1; // current: unsigned values
    writeAt(2, 1, "-5");
    EXPECT_TRUE(module.writes().empty());
    EXPECT_EQ(prompts.lastText(), "Значение -5 выходит за пределы 0 - 65535!");
    writeAt(3, 0, "40000");
    EXPECT_EQ(module.writes(), std::vector<std::string>{"1060=40000"});

    Config.io[io::DacMode] = 2;
    writeAt(2, 1, "-5");
    EXPECT_EQ(module.writes(), std::vector<std::string>{"1053=65531"});
    writeAt(1, 0, "40000");
    EXPECT_TRUE(module.writes().empty());
    EXPECT_EQ(prompts.lastText(), "Значение 40000 выходит за пределы -32768 - 32767!");
    writeAt(1, 1, "12");
    EXPECT_EQ(module.writes(), std::vector<std::string>{"1045=12"});
}

TEST_F(PidValTest, KeyboardMovesTheWriteCellAndTheEditorFollows) {
    window->show();
    clickCell(window->sgWriteVal, 1, 0);
    QTest::keyClick(editorOf(window->sgWriteVal), Qt::Key_Down);
    EXPECT_EQ(window->sgWriteVal->row(), 1);
    module.clearLog();
    enter(editorOf(window->sgWriteVal), "3");
    EXPECT_EQ(module.writes(), std::vector<std::string>{"1045=3"});
}

TEST_F(PidValTest, ModbusSetPointsGoToTheirRegulatorsBlock) {
    enter(window->edMbSet3, "1000");
    enter(window->edMbSet1, "-1");
    enter(window->edMbSet2, "32768");
    EXPECT_EQ(module.writes(), (std::vector<std::string>{"297=1000", "265=65535"}));
    EXPECT_EQ(prompts.lastText(), "Значение 32768 выходит за пределы -32768 - 32767!");
    EXPECT_EQ(window->edMbSet2->text(), "32768"); // the text typed stays
}

// Enter sends these to a running regulator at once, with no dialog showing the
// value: a cleared field or a number with anything after it writes nothing.
TEST_F(PidValTest, DirectWritesTakeOnlyAWholeNumber) {
    struct Case {
        const char* text;
        const char* message; // "" when written
        uint16_t word;
    };
    const Case cases[] = {
        {"", "\"  \" не является целым числом", 0},
        {"  ", "\"    \" не является целым числом", 0},
        {"12x", "\" 12x \" не является целым числом", 0},
        {"12abc", "\" 12abc \" не является целым числом", 0},
        {"0x1F", "\" 0x1F \" не является целым числом", 0},
        {"1,5", "\" 1,5 \" не является целым числом", 0},
        {"- 5", "\" - 5 \" не является целым числом", 0},
        {"40000", "Значение 40000 выходит за пределы -32768 - 32767!", 0},
        {"99999999999999999999", "Значение 99999999999999999999 выходит за пределы -32768 - 32767!",
         0},
        {" -7 ", "", 0xFFF9},
        {"+12", "", 12},
    };
    struct Target {
        const char* name;
        uint16_t address;
        std::function<void(const QString&)> type;
    };
    const Target targets[] = {
        {"edMbSet1", 265, [&](const QString& t) { enter(window->edMbSet1, t); }},
        {"sgWriteVal", 1053,
         [&](const QString& t) {
             clickCell(window->sgWriteVal, 2, 1);
             enter(editorOf(window->sgWriteVal), t);
         }},
    };
    for (const Target& target : targets) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(target.name) + " '" + c.text + "'");
            module.setReg(target.address, 4321);
            module.clearLog();
            prompts.shown.clear();
            target.type(QString::fromUtf8(c.text));
            EXPECT_EQ(module.reg(target.address), *c.message ? 4321 : c.word);
            EXPECT_EQ(module.writes().size(), *c.message ? 0u : 1u);
            EXPECT_EQ(prompts.lastText(), QString::fromUtf8(c.message));
        }
        // A module that does not answer keeps what it had.
        SCOPED_TRACE(target.name);
        module.setReg(target.address, 4321);
        module.silent = true;
        target.type(QStringLiteral("5"));
        module.silent = false;
        EXPECT_EQ(prompts.lastText(), "Нет ответа!");
        EXPECT_EQ(module.reg(target.address), 4321);
    }
}

TEST_F(PidValTest, FailedWriteShowsTheLinkErrorAndChangesNothingElse) {
    module.silent = true;
    enter(window->edMbSet1, "5");
    EXPECT_EQ(prompts.lastText(), "Нет ответа!");
    EXPECT_EQ(window->edMbSet1->text(), "5");
    EXPECT_FALSE(window->chbUpdate->checked());
}

// The always-open editors: a read cycle arriving between key presses updates
// the cell but leaves what is being typed alone, and Enter writes exactly that.
TEST_F(PidValTest, TicksBetweenKeyPressesLeaveTheTypedTextAlone) {
    struct Case {
        MonitorGrid* grid;
        int col, row;
        uint16_t address;
    };
    const Case cases[] = {
        {window->sgWriteVal, 2, 0, 1052},
        {window->sgWriteVal, 3, 1, 1061},
        {window->sgModValues, 1, 4, 1027},
    };
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        if (c.grid == window->sgWriteVal) clickCell(c.grid, c.col, c.row);
        QLineEdit* editor = editorOf(c.grid);
        ASSERT_NE(editor, nullptr);
        editor->setFocus();
        module.setReg(c.address, static_cast<uint16_t>(-21));
        ASSERT_TRUE(tick(1000));
        EXPECT_EQ(editor->text(), "-21") << "an editor nobody typed into follows the reads";

        editor->selectAll();
        QTest::keyClicks(editor, "1");
        ASSERT_TRUE(tick(1000));
        QTest::keyClicks(editor, "00");
        module.setReg(c.address, static_cast<uint16_t>(-22));
        ASSERT_TRUE(tick(1000));
        QTest::keyClicks(editor, "0");
        EXPECT_EQ(editor->text(), "1000");
        EXPECT_EQ(c.grid->cell(c.col, c.row), "-22") << "the cell itself keeps showing the reads";

        module.clearLog();
        QTest::keyClick(editor, Qt::Key_Return);
        EXPECT_EQ(module.writes(), std::vector<std::string>{std::to_string(c.address) + "=1000"});
        // Written: the next read shows the module's value again.
        module.setReg(c.address, 7);
        ASSERT_TRUE(tick(1000));
        EXPECT_EQ(editor->text(), "7");

        // Esc drops the typing and shows the value read; nothing is written.
        QTest::keyClicks(editor, "5");
        module.setReg(c.address, 8);
        ASSERT_TRUE(tick(1000));
        EXPECT_EQ(editor->text(), "75");
        module.clearLog();
        QTest::keyClick(editor, Qt::Key_Escape);
        EXPECT_EQ(editor->text(), "8");
        EXPECT_TRUE(module.writes().empty());
        EXPECT_TRUE(window->isVisible());
    }
    EXPECT_TRUE(prompts.shown.empty()) << prompts.lastText().toStdString();
}

// A refused text stays in the editor, through later reads, for the user to correct.
TEST_F(PidValTest, RefusedTextSurvivesTheNextRead) {
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    clickCell(window->sgWriteVal, 1, 0);
    QLineEdit* editor = editorOf(window->sgWriteVal);
    ASSERT_NE(editor, nullptr);
    editor->setFocus();
    editor->selectAll();
    QTest::keyClicks(editor, "40000");
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(prompts.lastText(), "Значение 40000 выходит за пределы -32768 - 32767!");
    ASSERT_TRUE(tick(1000));
    EXPECT_EQ(editor->text(), "40000");
    EXPECT_TRUE(module.writes().empty());
}

} // namespace
} // namespace qmt::test
