// The selection rule of the program's own radio group and check box: user
// clicks go through the guard, programmatic changes run the handler directly.
#include "FakeUi.h"
#include "common/CheckBox.h"
#include "common/RadioGroup.h"
#include "link/Errors.h"

#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace qmt;

namespace {

struct ControlsTest : ::testing::Test {
    test::FakePrompts ui;
};

TEST_F(ControlsTest, CheckBoxRunsItsHandlerOnEveryChangeOfState) {
    CheckBox box(QStringLiteral("Лог"));
    box.show();
    std::vector<bool> seen;
    box.setOnClick([&] { seen.push_back(box.isChecked()); });

    box.setChecked(true);
    box.setChecked(true); // same state: nothing
    QTest::mouseClick(&box, Qt::LeftButton);
    box.setEnabled(false);
    box.setChecked(true); // a disabled box still reports a programmatic change
    EXPECT_EQ(seen, (std::vector<bool>{true, false, true}));
}

TEST_F(ControlsTest, CheckBoxErrorsReachTheCallerOrTheDisplay) {
    CheckBox box(QStringLiteral("Лог"));
    box.show();
    box.setOnClick([] { throw Exception(QStringLiteral("Ошибка периода")); });

    // Programmatic: the caller gets the exception and the state has changed.
    EXPECT_THROW(box.setChecked(true), Exception);
    EXPECT_TRUE(box.isChecked());
    EXPECT_TRUE(ui.shown.empty());

    // The user: the guard shows it once.
    QTest::mouseClick(&box, Qt::LeftButton);
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].text, QStringLiteral("Ошибка периода"));
}

TEST_F(ControlsTest, HandlerThatUnchecksItsOwnBoxSettles) {
    // A failed action unchecks the box it was started from.
    CheckBox box(QStringLiteral("Лог"));
    box.show();
    int runs = 0;
    box.setOnClick([&] {
        ++runs;
        if (box.isChecked()) box.setChecked(false);
    });
    QTest::mouseClick(&box, Qt::LeftButton);
    EXPECT_FALSE(box.isChecked());
    EXPECT_EQ(runs, 2);
}

TEST_F(ControlsTest, RadioGroupProgrammaticAndUserSelection) {
    RadioGroup group;
    group.setItems({QStringLiteral("Откл."), QStringLiteral("FB1")});
    group.resize(120, 60);
    group.show();
    int runs = 0;
    group.setOnClick([&] { ++runs; });
    group.setItemIndex(1);
    group.setItemIndex(1);
    group.clearSelection();
    EXPECT_EQ(runs, 1);
    QTest::mouseClick(group.button(0), Qt::LeftButton);
    EXPECT_EQ(group.itemIndex(), 0);
    EXPECT_EQ(runs, 2);
}

} // namespace
