// The window's layout: every control at its rectangle, the heading texts,
// the lower part behind "Дополнительно >>", and no clipped text.
#include "PidValFixture.h"
#include "TextFit.h"

#include <QDir>
#include <QGroupBox>
#include <QLabel>

namespace qmt::test {
namespace {

TEST_F(PidValTest, ControlsSitAtTheirRectangles) {
    struct Place {
        const char* name;
        QRect rect; // empty size: only the position is fixed
    };
    const Place places[] = {
        {"sgSTATE", {-1, 0, 367, 201}},      {"sgWriteVal", {-1, 199, 368, 54}},
        {"sgModValues", {371, 0, 185, 129}}, {"gbReset", {560, -1, 122, 130}},
        {"edPerUpd", {371, 134, 49, 24}},    {"btRead", {561, 178, 80, 25}},
        {"GroupBox1", {404, 225, 260, 60}},  {"btAdvanced", {512, 296, 139, 25}},
        {"GroupBox2", {2, 339, 165, 101}},   {"GroupBox3", {168, 339, 514, 101}},
        {"GroupBox4", {216, 442, 233, 77}},  {"Label4", {0, 260, 0, 0}},
        {"btSetInt1", {157, 253, 0, 0}},     {"btSetInt2", {226, 253, 0, 0}},
        {"btSetInt3", {300, 253, 0, 0}},     {"Label7", {427, 137, 0, 0}},
        {"chbUpdate", {371, 156, 0, 0}},     {"edLog", {372, 179, 0, 0}},
        {"btBrouse", {529, 178, 0, 0}},      {"chbLog", {372, 207, 0, 0}},
        {"chbTrend", {544, 208, 0, 0}},
    };
    for (const Place& p : places) {
        auto* w = find<QWidget>(p.name);
        ASSERT_NE(w, nullptr);
        if (p.rect.width() > 0)
            EXPECT_EQ(w->geometry(), p.rect) << p.name;
        else
            EXPECT_EQ(w->pos(), p.rect.topLeft()) << p.name;
    }
    EXPECT_EQ(window->windowTitle(), "Значения переменных");
    EXPECT_EQ(window->sgSTATE->cell(1, 0) + window->sgSTATE->cell(3, 0), "ПИД1ПИД3");
    EXPECT_EQ(window->sgModValues->cell(0, 1), "АЦП1 мВ");
    EXPECT_EQ(window->sgModValues->cell(0, 4), "ЦАП мВ");
    EXPECT_EQ(window->Label4->text(), "Установка  интегр.");
    EXPECT_EQ(window->btSetResPWM->text(), QString::fromUtf8("Установка \x63броса ШИМ")); // Latin c
    EXPECT_EQ(window->edPerUpd->text(), "1000");
    EXPECT_EQ(window->tmUpdate->interval(), 1000);
    EXPECT_FALSE(window->tmUpdate->isActive());
}

TEST_F(PidValTest, UnitLabelsComeFromTheModelAtCreation) {
    Config.io[io::InputMode0] = 1;
    Config.io[io::InputMode0 + 2] = 7;
    Config.io[io::DacMode] = 1;
    TPidVal other;
    EXPECT_EQ(other.sgModValues->cell(0, 1), "АЦП1 мкА");
    EXPECT_EQ(other.sgModValues->cell(0, 2), "АЦП2 мВ");
    EXPECT_EQ(other.sgModValues->cell(0, 3), "АЦП3 ");
    EXPECT_EQ(other.sgModValues->cell(0, 4), "ЦАП мкА");
    EXPECT_EQ(window->sgModValues->cell(0, 1), "АЦП1 мВ"); // built earlier, unchanged
}

TEST_F(PidValTest, AdvancedShowsAndHidesTheLowerPart) {
    window->show();
    EXPECT_EQ(window->height(), TPidVal::CollapsedHeight);
    clickButton(window->btAdvanced);
    EXPECT_EQ(window->height(), TPidVal::ExpandedHeight);
    EXPECT_EQ(window->btAdvanced->text(), "Дополнительно <<");
    EXPECT_EQ(clippedTextReport(window.get()), "");
    clickButton(window->btAdvanced);
    EXPECT_EQ(window->height(), TPidVal::CollapsedHeight);
    EXPECT_EQ(window->btAdvanced->text(), "Дополнительно >>");
    EXPECT_EQ(clippedTextReport(window.get()), "");
}

TEST_F(PidValTest, EveryTextFitsWithValuesAndRelabelledGroups) {
    setLive(1, {0x8000, 0x8000, 0x8000, 0xFFFF, 0x8000, 0x8000});
    clickButton(window->btRead);
    module.setReg(1072, 0x0006);
    clickButton(window->btReadPWM);
    clickItem(window->rgModePWM, 0); // the longer labels "Прямой", "Инверсный"
    window->show();
    clickButton(window->btAdvanced);
    EXPECT_EQ(clippedTextReport(window.get()), "");
}

// Pictures of the window for a look by eye: QMT_GRAB_DIR=/some/folder.
TEST_F(PidValTest, Pictures) {
    const QByteArray target = qgetenv("QMT_GRAB_DIR");
    if (target.isEmpty()) GTEST_SKIP() << "QMT_GRAB_DIR not set";
    const QDir dir(QString::fromLocal8Bit(target));
    setLive(1, {100, 95, 0xFFEC, 0x0005, 0, 10});
    setLive(2, {0, 0, 0, 0x8001, 0, 0});
    clickButton(window->btRead);
    clickCell(window->sgSTATE, 2, 2);
    window->show();
    window->grab().save(dir.filePath(QStringLiteral("pidval.png")));
    clickButton(window->btAdvanced);
    module.setReg(1072, 0x0002);
    clickButton(window->btReadPWM);
    module.setReg(1028, 0x0004);
    clickButton(window->btReadStatus);
    window->grab().save(dir.filePath(QStringLiteral("pidval_expanded.png")));
}

} // namespace
} // namespace qmt::test
