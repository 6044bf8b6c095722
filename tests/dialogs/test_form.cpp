// The pieces the dialogs are built from: names and places as given, what Enter
// does to each kind of button, a caption tied to its field, radio items inside
// their frame, and the opening of a parameter dialog from the model.
#include "FakeUi.h"

#include "common/RadioGroup.h"
#include "dialogs/DialogForm.h"
#include "dialogs/ModelDialog.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionGroupBox>

#include <gtest/gtest.h>

using namespace qmt;

namespace {

TEST(DialogForm, AButtonRowPlacesEachButtonAStepOnAndSetsWhatEnterDoes) {
    QDialog dialog;
    form::ButtonRow row(&dialog, {10, 20, 80, 25}, {90, 0});
    QPushButton* first = row.add("btFirst", QStringLiteral("Первая"), form::Enter::Default);
    QPushButton* second = row.add("btSecond", QStringLiteral("Вторая"), form::Enter::WhenFocused);
    QPushButton* third = row.add("btThird", QStringLiteral("Третья"));

    struct Expect {
        QPushButton* button;
        const char* name;
        QRect at;
        bool isDefault, autoDefault;
    };
    const Expect expected[] = {
        {first, "btFirst", {10, 20, 80, 25}, true, true},
        {second, "btSecond", {100, 20, 80, 25}, false, true},
        {third, "btThird", {190, 20, 80, 25}, false, false},
    };
    for (const Expect& e : expected) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(e.button->parent(), &dialog);
        EXPECT_EQ(e.button->objectName(), QLatin1String(e.name));
        EXPECT_EQ(e.button->geometry(), e.at);
        EXPECT_EQ(e.button->isDefault(), e.isDefault);
        EXPECT_EQ(e.button->autoDefault(), e.autoDefault);
    }

    form::ButtonRow column(&dialog, {5, 5, 60, 20}, {0, 30});
    column.add("btTop", QString());
    EXPECT_EQ(column.add("btBelow", QString())->geometry(), QRect(5, 35, 60, 20));
}

TEST(DialogForm, ACaptionNamesItsFieldAndComesBeforeItInTheTabOrder) {
    QDialog dialog;
    QLineEdit* before = form::edit(&dialog, "edBefore", {0, 0, 10, 10});
    const form::LabelledEdit row =
        form::labelledEdit(&dialog, QStringLiteral("lbValue"), QStringLiteral("Значение"),
                           {1, 2, 30, 22}, QStringLiteral("edValue"), {40, 2, 50, 22});
    EXPECT_EQ(row.label->objectName(), QStringLiteral("lbValue"));
    EXPECT_EQ(row.label->text(), QStringLiteral("Значение"));
    EXPECT_EQ(row.label->geometry(), QRect(1, 2, 30, 22));
    EXPECT_EQ(row.edit->objectName(), QStringLiteral("edValue"));
    EXPECT_EQ(row.edit->geometry(), QRect(40, 2, 50, 22));
    EXPECT_EQ(row.label->buddy(), row.edit);
    // Without an explicit tab order the fields follow in the order made.
    QWidget* next = before->nextInFocusChain();
    while (next != before && !(next->focusPolicy() & Qt::TabFocus))
        next = next->nextInFocusChain();
    EXPECT_EQ(next, row.edit);
}

TEST(DialogForm, ARadioGroupHasNamedItemsInsideItsFrameAndNothingSelected) {
    QDialog dialog;
    dialog.resize(300, 200);
    RadioGroup* group =
        form::radioGroup(&dialog, "rgKind", QStringLiteral("Режим"), {6, 6, 160, 90},
                         {QStringLiteral("Один"), QStringLiteral("Два"), QStringLiteral("Три")});
    dialog.show();
    EXPECT_EQ(group->objectName(), QStringLiteral("rgKind"));
    EXPECT_EQ(group->title(), QStringLiteral("Режим"));
    EXPECT_EQ(group->geometry(), QRect(6, 6, 160, 90));
    EXPECT_EQ(group->itemIndex(), -1);
    ASSERT_EQ(group->count(), 3);

    QStyleOptionGroupBox option;
    option.initFrom(group);
    option.text = group->title();
    option.lineWidth = 1;
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    const QRect inside = group->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                        QStyle::SC_GroupBoxContents, group);
    int previousTop = -1;
    for (int i = 0; i < group->count(); ++i) {
        SCOPED_TRACE(i);
        QRadioButton* b = group->button(i);
        EXPECT_EQ(b->objectName(), QStringLiteral("rgKind_item%1").arg(i));
        EXPECT_FALSE(b->isChecked());
        // Whole below the frame's top line, which runs under the caption, and
        // above its bottom.
        EXPECT_GE(b->geometry().top(), inside.top());
        EXPECT_LE(b->geometry().bottom(), inside.bottom());
        EXPECT_GT(b->y(), previousTop);
        previousTop = b->y();
    }
}

TEST(DialogForm, SetUpNamesTheDialogAndFixesItsSize) {
    QDialog dialog(nullptr, form::TitleOnly);
    form::setUp(&dialog, "Probe", QStringLiteral("Проба"), {211, 104});
    EXPECT_EQ(dialog.objectName(), QStringLiteral("Probe"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Проба"));
    EXPECT_EQ(dialog.minimumSize(), QSize(211, 104));
    EXPECT_EQ(dialog.maximumSize(), QSize(211, 104));
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(form::Closable & Qt::WindowCloseButtonHint);
}

// Records the item it was filled for.
class ProbeDialog : public ItemDialog {
public:
    std::vector<int> loadedFor;
    void LoadFromConfig() override { loadedFor.push_back(Tag); }
};

TEST(ModelDialog, OpeningFillsTheDialogForItsItemBeforeShowingIt) {
    test::FakePrompts prompts;
    ProbeDialog dialog;
    std::vector<int> shownFor;
    prompts.modalScripts.push_back([&](QDialog*) {
        shownFor = dialog.loadedFor;
        return int(QDialog::Accepted);
    });
    OpenFromConfig(&dialog, 2);
    EXPECT_EQ(shownFor, std::vector<int>{2});
    ASSERT_EQ(prompts.modalShown.size(), 1u);
    EXPECT_EQ(prompts.modalShown[0], &dialog);

    // Each opening fills afresh, also for the same item.
    OpenFromConfig(&dialog, 2);
    OpenFromConfig(static_cast<ModelDialog*>(&dialog));
    EXPECT_EQ(dialog.loadedFor, (std::vector<int>{2, 2, 2}));

    // A dialog not made at start opens nothing.
    OpenFromConfig(static_cast<ItemDialog*>(nullptr), 1);
    OpenFromConfig(static_cast<ModelDialog*>(nullptr));
    EXPECT_EQ(prompts.modalShown.size(), 3u);
}

} // namespace
