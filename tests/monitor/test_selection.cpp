// Channel selection in the two value grids, its freeze while logging, and
// the grey drawing of deselected channels.
#include "PidValFixture.h"

#include <QImage>

namespace qmt::test {
namespace {

const std::vector<bool> All7(7, true), None7(7, false);

TEST_F(PidValTest, HeadingClicksFollowTheirOwnFlags) {
    clickCell(window->sgSTATE, 2, 3); // one cell of column 2 deselected by hand
    ASSERT_FALSE(window->RegChannels[1][2].selected);

    clickCell(window->sgSTATE, 2, 0); // "ПИД2"
    EXPECT_EQ(regSelection(2), None7);
    clickCell(window->sgSTATE, 2, 0);
    EXPECT_EQ(regSelection(2), All7);
    EXPECT_EQ(regSelection(1), All7);

    clickCell(window->sgSTATE, 0, 2); // "Обр. связь"
    for (int p = 1; p <= 3; ++p) {
        std::vector<bool> expected = All7;
        expected[1] = false;
        EXPECT_EQ(regSelection(p), expected) << p;
    }

    // The corner's first click deselects all, whatever the cells show.
    clickCell(window->sgSTATE, 0, 0);
    for (int p = 1; p <= 3; ++p)
        EXPECT_EQ(regSelection(p), None7);
    clickCell(window->sgSTATE, 0, 0);
    for (int p = 1; p <= 3; ++p)
        EXPECT_EQ(regSelection(p), All7);

    // Other buttons do nothing.
    clickCell(window->sgSTATE, 1, 0, Qt::RightButton);
    EXPECT_EQ(regSelection(1), All7);
}

TEST_F(PidValTest, ValueCellsToggleButNeverBecomeCurrent) {
    clickCell(window->sgSTATE, 3, 7);
    EXPECT_FALSE(window->RegChannels[2][6].selected);
    clickCell(window->sgSTATE, 1, 1); // the cell the grid starts on toggles too
    EXPECT_FALSE(window->RegChannels[0][0].selected);
    clickCell(window->sgSTATE, 3, 7);
    EXPECT_TRUE(window->RegChannels[2][6].selected);
    EXPECT_EQ(window->sgSTATE->col(), 1);
    EXPECT_EQ(window->sgSTATE->row(), 1);
}

TEST_F(PidValTest, KeyboardMovesToggleTheCellTheyAimAt) {
    window->show();
    window->sgSTATE->setFocus();
    struct Move {
        Qt::Key key;
        int p, row; // the channel toggled; p 0: none
    };
    const Move moves[] = {
        {Qt::Key_Right, 2, 1}, {Qt::Key_Down, 1, 2},     {Qt::Key_Up, 0, 0},   {Qt::Key_Left, 0, 0},
        {Qt::Key_End, 3, 1},   {Qt::Key_PageDown, 1, 7}, {Qt::Key_Home, 0, 0},
    };
    for (const Move& m : moves) {
        SCOPED_TRACE(m.key);
        std::array<std::vector<bool>, 3> before{regSelection(1), regSelection(2), regSelection(3)};
        QTest::keyClick(window->sgSTATE, m.key);
        if (m.p) before[m.p - 1][m.row - 1] = !before[m.p - 1][m.row - 1];
        for (int p = 1; p <= 3; ++p)
            EXPECT_EQ(regSelection(p), before[p - 1]);
        EXPECT_EQ(window->sgSTATE->col(), 1);
        EXPECT_EQ(window->sgSTATE->row(), 1);
    }
}

TEST_F(PidValTest, SelectionIsFrozenOnlyWhileLogAndUpdateAreBothOn) {
    struct Case {
        bool log, update, frozen;
    };
    for (const Case& c :
         {Case{false, true, false}, Case{true, false, false}, Case{true, true, true}}) {
        SCOPED_TRACE(std::to_string(c.log) + std::to_string(c.update));
        window = std::make_unique<TPidVal>();
        if (c.log) armLog();
        if (c.update) window->chbUpdate->setChecked(true);
        ASSERT_EQ(window->chbLog->checked(), c.log);
        ASSERT_EQ(window->chbUpdate->checked(), c.update);
        window->tmUpdate->stop(); // no reads needed here

        clickCell(window->sgSTATE, 2, 2);
        clickCell(window->sgSTATE, 3, 0);
        clickCell(window->sgSTATE, 0, 5);
        clickCell(window->sgSTATE, 0, 0);
        clickCell(window->sgModValues, 1, 0);
        const bool changed = regSelection(1) != All7 || regSelection(2) != All7 ||
                             regSelection(3) != All7 || !window->ModChannels[0].selected;
        EXPECT_EQ(changed, !c.frozen);
    }
}

TEST_F(PidValTest, ModuleGridKeepsTheOutputValueCurrentAndTogglesByItsHeading) {
    window->ModChannels[1].selected = false;
    clickCell(window->sgModValues, 1, 0); // "Значение": each channel inverted by itself
    std::vector<bool> sel;
    for (const MonitorChannel& ch : window->ModChannels)
        sel.push_back(ch.selected);
    EXPECT_EQ(sel, (std::vector<bool>{false, true, false, false}));

    for (int row = 1; row <= 3; ++row) {
        clickCell(window->sgModValues, 1, row);
        EXPECT_EQ(window->sgModValues->row(), 4);
    }
    clickCell(window->sgModValues, 0, 1); // a label
    EXPECT_EQ(window->ModChannels[0].selected, false);
    EXPECT_EQ(window->sgModValues->col(), 1);
    EXPECT_EQ(window->sgModValues->row(), 4);
}

TEST_F(PidValTest, ChannelTablesCarryTheirIdsAndNames) {
    EXPECT_EQ(window->RegChannels[0][0].name, "Xs(k)1");
    EXPECT_EQ(window->RegChannels[1][4].name, "Dmin2"); // the row headed "Максимум"
    EXPECT_EQ(window->RegChannels[1][4].id, 12);
    EXPECT_EQ(window->RegChannels[2][5].name, "Dmax3");
    EXPECT_EQ(window->RegChannels[2][6].id, 21);
    EXPECT_EQ(window->ModChannels[3].name, "ЦАП");
    EXPECT_EQ(window->ModChannels[3].id, 34);
    EXPECT_EQ(window->sgSTATE->cell(0, 5), "Максимум");
}

TEST_F(PidValTest, DeselectedValueCellsAreDrawnGrey) {
    setLive(2, {123, 0, 0, 0, 0, 0});
    clickButton(window->btRead);
    window->show();
    clickCell(window->sgSTATE, 2, 1);
    clickCell(window->sgModValues, 1, 0);
    const QImage grid = window->sgSTATE->grab().toImage();
    const QRect grey = window->sgSTATE->visualRect(window->sgSTATE->model()->index(1, 2));
    const QRect white = window->sgSTATE->visualRect(window->sgSTATE->model()->index(1, 3));
    const QPoint offset = window->sgSTATE->viewport()->pos();
    const QPoint inner(grey.right() - 4, grey.bottom() - 4);
    EXPECT_EQ(grid.pixelColor(inner + offset), QColor(128, 128, 128));
    EXPECT_EQ(grid.pixelColor(QPoint(white.right() - 4, white.bottom() - 4) + offset),
              window->sgSTATE->palette().base().color());
    // The text starts 2 px from the cell's left edge, not further in.
    bool inkNearLeft = false;
    for (int x = grey.left() + 2; x < grey.left() + 6; ++x)
        for (int y = grey.top() + 2; y < grey.bottom() - 2; ++y)
            inkNearLeft = inkNearLeft || grid.pixelColor(QPoint(x, y) + offset).lightness() < 60;
    EXPECT_TRUE(inkNearLeft);

    const QImage mod = window->sgModValues->grab().toImage();
    const QRect r = window->sgModValues->visualRect(window->sgModValues->model()->index(1, 1));
    EXPECT_EQ(mod.pixelColor(QPoint(r.right() - 4, r.bottom() - 4) +
                             window->sgModValues->viewport()->pos()),
              QColor(128, 128, 128));
}

} // namespace
} // namespace qmt::test
